// Which folders read from the uninstall entry or a removal's command line
// the program may act in.
#include "system/our_folder.h"

#include <gtest/gtest.h>

#include "system/registry_entries.h"

namespace vestrana {
namespace {

struct FolderCase {
  const char* path;
  bool ours;
};

TEST(CanBeOurFolder, OnlyALocalFolderNamedVestrana) {
  for (const FolderCase& c : {
           FolderCase{"C:\\Users\\u\\AppData\\Local\\vestrana", true},
           FolderCase{"c:/users/u/appdata/local/VESTRANA/", true},
           FolderCase{"D:\\My Apps\\Vestrana\\.", true},
           FolderCase{"E:\\vestrana", true},
           // Another program's folder, or ours spelt so that Windows reads
           // another name (a short name, trailing dot or blank).
           FolderCase{"C:\\Users\\u\\AppData\\Local\\Other", false},
           FolderCase{"C:\\Users\\u\\AppData\\Local\\vestra~1", false},
           FolderCase{"C:\\Users\\u\\AppData\\Local\\vestrana.", false},
           FolderCase{"C:\\Users\\u\\AppData\\Local\\vestrana ", false},
           FolderCase{"C:\\Users\\u\\AppData\\Local\\vestrana-old", false},
           // A look-alike letter (Cyrillic a) makes another name.
           FolderCase{"C:\\x\\vestr\xD0\xB0na", false},
           // Not a local drive path.
           FolderCase{"\\\\server\\share\\vestrana", false},
           FolderCase{"//server/share/vestrana", false},
           FolderCase{"\\\\?\\C:\\Users\\u\\AppData\\Local\\vestrana", false},
           FolderCase{"\\\\?\\UNC\\server\\share\\vestrana", false},
           FolderCase{"\\\\.\\C:\\vestrana", false},
           FolderCase{"\\??\\C:\\vestrana", false},
           FolderCase{"\\vestrana", false},
           FolderCase{"C:vestrana", false},
           FolderCase{"vestrana", false},
           FolderCase{"1:\\vestrana", false},
           // A drive root, or a way out of the named folder.
           FolderCase{"C:\\", false},
           FolderCase{"C:\\Other\\vestrana\\..", false},
           FolderCase{"C:\\Windows\\..\\vestrana", false},
           FolderCase{"C:\\Windows\\.. \\vestrana", false},
           FolderCase{"C:\\Windows\\...\\vestrana", false},
           // Names no folder of ours has: a stream, a pattern, a control character.
           FolderCase{"C:\\Other\\file.txt:vestrana", false},
           FolderCase{"C:\\Other:x\\vestrana", false},
           FolderCase{"C:\\*\\vestrana", false},
           FolderCase{"C:\\a?\\vestrana", false},
           FolderCase{"C:\\a\nb\\vestrana", false},
           FolderCase{"C:\\a|b\\vestrana", false},
           FolderCase{"", false},
       }) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(can_be_our_folder(c.path), c.ours);
  }
}

TEST(OurRecordedFolder, IsTheEntrysFolderOnlyWhenItCanBeOurs) {
  EXPECT_EQ(our_recorded_folder(InstalledEntry{"1.2.0", "D:\\Apps\\vestrana"}), "D:\\Apps\\vestrana");
  EXPECT_EQ(our_recorded_folder(InstalledEntry{"1.2.0", "D:\\Apps\\Other"}), std::nullopt);
  EXPECT_EQ(our_recorded_folder(InstalledEntry{"1.2.0", ""}), std::nullopt);
  EXPECT_EQ(our_recorded_folder(std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace vestrana
