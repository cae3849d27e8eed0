#include "ui/strings.h"

#include "base/text.h"

namespace vestrana {
namespace {

// The texts are UTF-8, byte for byte as they are shown: the progress texts end
// in a plain space and U+2026, the subtitle has U+00B7 between plain spaces,
// French, Italian and Turkish apostrophes are U+2019, and the French question
// has a plain space before the question mark.

constexpr StringTable kEnglish{{
    "vestrana Setup",  // 0 SetupTitle
    "Remove vestrana",  // 1 RemoveTitle
    "Desktop app for Windows · Version {version}",  // 2 Subtitle
    "Update from version {old}",  // 3 UpdateFrom
    "Shortcut on the desktop",  // 4 OptionDesktopShortcut
    "Start with Windows, in the notification area",  // 5 OptionAutostart
    "Install",  // 6 ButtonInstall
    "Update",  // 7 ButtonUpdate
    "Closing vestrana …",  // 8 StepClosingApp
    "Copying files …",  // 9 StepCopyingFiles
    "Setting up Microsoft WebView2 …",  // 10 StepWebView2
    "Creating shortcuts …",  // 11 StepShortcuts
    "Almost done …",  // 12 StepAlmostDone
    "vestrana is ready.",  // 13 DoneTitle
    "You will find it in the Start menu.",  // 14 DoneHint
    "Open vestrana",  // 15 ButtonOpen
    "Close",  // 16 ButtonClose
    "That did not work.",  // 17 ErrorTitle
    "Try again",  // 18 ButtonTryAgain
    "Remove vestrana from this computer?",  // 19 RemoveQuestion
    "Also delete sign-in and settings",  // 20 OptionDeleteData
    "Remove",  // 21 ButtonRemove
    "Removing vestrana …",  // 22 StepRemoving
    "vestrana has been removed.",  // 23 RemovedTitle
    "Your account and your posts stay on the server.",  // 24 RemovedHint
    "This setup file contains no app. Please download it again.",  // 25 ErrorNoPayload
    "Microsoft WebView2 could not be set up. Please check the internet connection.",  // 26 ErrorWebView2
    "The files could not be written ({detail}).",  // 27 ErrorWriteFiles
    "The setup is already running.",  // 28 ErrorAlreadyRunning
    "vestrana installs for one person. Run this setup from your own account, not as the system.",  // 29 ErrorLocalSystem
    "Installing vestrana",  // 30 ShutdownReason
    "vestrana is running with administrator rights. Close it and try again.",  // 31 ErrorAppElevated
}};

constexpr StringTable kGerman{{
    "vestrana Setup",  // 0 SetupTitle
    "vestrana entfernen",  // 1 RemoveTitle
    "Desktop-App für Windows · Version {version}",  // 2 Subtitle
    "Update von Version {old}",  // 3 UpdateFrom
    "Verknüpfung auf dem Desktop",  // 4 OptionDesktopShortcut
    "Mit Windows starten, im Infobereich",  // 5 OptionAutostart
    "Installieren",  // 6 ButtonInstall
    "Aktualisieren",  // 7 ButtonUpdate
    "vestrana wird beendet …",  // 8 StepClosingApp
    "Dateien werden kopiert …",  // 9 StepCopyingFiles
    "Microsoft WebView2 wird eingerichtet …",  // 10 StepWebView2
    "Verknüpfungen werden angelegt …",  // 11 StepShortcuts
    "Fast fertig …",  // 12 StepAlmostDone
    "vestrana ist bereit.",  // 13 DoneTitle
    "Du findest die App im Startmenü.",  // 14 DoneHint
    "vestrana öffnen",  // 15 ButtonOpen
    "Schließen",  // 16 ButtonClose
    "Das hat nicht geklappt.",  // 17 ErrorTitle
    "Erneut versuchen",  // 18 ButtonTryAgain
    "vestrana von diesem Computer entfernen?",  // 19 RemoveQuestion
    "Auch Anmeldung und Einstellungen löschen",  // 20 OptionDeleteData
    "Entfernen",  // 21 ButtonRemove
    "vestrana wird entfernt …",  // 22 StepRemoving
    "vestrana wurde entfernt.",  // 23 RemovedTitle
    "Dein Konto und deine Beiträge bleiben auf dem Server.",  // 24 RemovedHint
    "Diese Setup-Datei enthält keine App. Bitte lade sie neu herunter.",  // 25 ErrorNoPayload
    "Microsoft WebView2 ließ sich nicht einrichten. Bitte prüfe die Internetverbindung.",  // 26 ErrorWebView2
    "Die Dateien ließen sich nicht schreiben ({detail}).",  // 27 ErrorWriteFiles
    "Das Setup läuft bereits.",  // 28 ErrorAlreadyRunning
    "vestrana wird für eine Person installiert. Starte dieses Setup in deinem eigenen Benutzerkonto, nicht als "
    "System.",  // 29 ErrorLocalSystem
    "vestrana wird installiert",  // 30 ShutdownReason
    "vestrana läuft mit Administratorrechten. Schließe es und versuche es erneut.",  // 31 ErrorAppElevated
}};

constexpr StringTable kFrench{{
    "Installation de vestrana",  // 0 SetupTitle
    "Supprimer vestrana",  // 1 RemoveTitle
    "Application de bureau pour Windows · Version {version}",  // 2 Subtitle
    "Mise à jour depuis la version {old}",  // 3 UpdateFrom
    "Raccourci sur le bureau",  // 4 OptionDesktopShortcut
    "Démarrer avec Windows, dans la zone de notification",  // 5 OptionAutostart
    "Installer",  // 6 ButtonInstall
    "Mettre à jour",  // 7 ButtonUpdate
    "Fermeture de vestrana …",  // 8 StepClosingApp
    "Copie des fichiers …",  // 9 StepCopyingFiles
    "Installation de Microsoft WebView2 …",  // 10 StepWebView2
    "Création des raccourcis …",  // 11 StepShortcuts
    "Presque fini …",  // 12 StepAlmostDone
    "vestrana est prêt.",  // 13 DoneTitle
    "Tu le trouveras dans le menu Démarrer.",  // 14 DoneHint
    "Ouvrir vestrana",  // 15 ButtonOpen
    "Fermer",  // 16 ButtonClose
    "Cela n’a pas marché.",  // 17 ErrorTitle
    "Réessayer",  // 18 ButtonTryAgain
    "Supprimer vestrana de cet ordinateur ?",  // 19 RemoveQuestion
    "Supprimer aussi la connexion et les réglages",  // 20 OptionDeleteData
    "Supprimer",  // 21 ButtonRemove
    "Suppression de vestrana …",  // 22 StepRemoving
    "vestrana a été supprimé.",  // 23 RemovedTitle
    "Ton compte et tes publications restent sur le serveur.",  // 24 RemovedHint
    "Ce fichier d’installation ne contient pas d’application. Télécharge-le à nouveau.",  // 25 ErrorNoPayload
    "Microsoft WebView2 n’a pas pu être installé. Vérifie la connexion internet.",  // 26 ErrorWebView2
    "Les fichiers n’ont pas pu être écrits ({detail}).",  // 27 ErrorWriteFiles
    "L’installation est déjà en cours.",  // 28 ErrorAlreadyRunning
    "vestrana s’installe pour une seule personne. Lance cette installation depuis ton propre compte, pas en tant que "
    "système.",  // 29 ErrorLocalSystem
    "Installation de vestrana",  // 30 ShutdownReason
    "vestrana s’exécute avec des droits d’administrateur. Ferme-le et réessaie.",  // 31 ErrorAppElevated
}};

constexpr StringTable kSpanish{{
    "Instalación de vestrana",  // 0 SetupTitle
    "Quitar vestrana",  // 1 RemoveTitle
    "App de escritorio para Windows · Versión {version}",  // 2 Subtitle
    "Actualización desde la versión {old}",  // 3 UpdateFrom
    "Acceso directo en el escritorio",  // 4 OptionDesktopShortcut
    "Iniciar con Windows, en el área de notificación",  // 5 OptionAutostart
    "Instalar",  // 6 ButtonInstall
    "Actualizar",  // 7 ButtonUpdate
    "Cerrando vestrana …",  // 8 StepClosingApp
    "Copiando archivos …",  // 9 StepCopyingFiles
    "Preparando Microsoft WebView2 …",  // 10 StepWebView2
    "Creando accesos directos …",  // 11 StepShortcuts
    "Casi listo …",  // 12 StepAlmostDone
    "vestrana está listo.",  // 13 DoneTitle
    "Lo encontrarás en el menú Inicio.",  // 14 DoneHint
    "Abrir vestrana",  // 15 ButtonOpen
    "Cerrar",  // 16 ButtonClose
    "No ha funcionado.",  // 17 ErrorTitle
    "Intentar de nuevo",  // 18 ButtonTryAgain
    "¿Quitar vestrana de este equipo?",  // 19 RemoveQuestion
    "Borrar también el inicio de sesión y los ajustes",  // 20 OptionDeleteData
    "Quitar",  // 21 ButtonRemove
    "Quitando vestrana …",  // 22 StepRemoving
    "vestrana se ha quitado.",  // 23 RemovedTitle
    "Tu cuenta y tus publicaciones siguen en el servidor.",  // 24 RemovedHint
    "Este archivo de instalación no contiene la app. Descárgalo de nuevo.",  // 25 ErrorNoPayload
    "No se pudo preparar Microsoft WebView2. Comprueba la conexión a internet.",  // 26 ErrorWebView2
    "No se pudieron escribir los archivos ({detail}).",  // 27 ErrorWriteFiles
    "La instalación ya está en marcha.",  // 28 ErrorAlreadyRunning
    "vestrana se instala para una sola persona. Ejecuta esta instalación desde tu propia cuenta, no como el "
    "sistema.",  // 29 ErrorLocalSystem
    "Instalando vestrana",  // 30 ShutdownReason
    "vestrana se está ejecutando con permisos de administrador. Ciérralo e inténtalo de nuevo.",  // 31 ErrorAppElevated
}};

constexpr StringTable kItalian{{
    "Installazione di vestrana",  // 0 SetupTitle
    "Rimuovi vestrana",  // 1 RemoveTitle
    "App desktop per Windows · Versione {version}",  // 2 Subtitle
    "Aggiornamento dalla versione {old}",  // 3 UpdateFrom
    "Collegamento sul desktop",  // 4 OptionDesktopShortcut
    "Avvia con Windows, nell’area di notifica",  // 5 OptionAutostart
    "Installa",  // 6 ButtonInstall
    "Aggiorna",  // 7 ButtonUpdate
    "Chiusura di vestrana …",  // 8 StepClosingApp
    "Copia dei file …",  // 9 StepCopyingFiles
    "Preparazione di Microsoft WebView2 …",  // 10 StepWebView2
    "Creazione dei collegamenti …",  // 11 StepShortcuts
    "Quasi fatto …",  // 12 StepAlmostDone
    "vestrana è pronto.",  // 13 DoneTitle
    "Lo trovi nel menu Start.",  // 14 DoneHint
    "Apri vestrana",  // 15 ButtonOpen
    "Chiudi",  // 16 ButtonClose
    "Non ha funzionato.",  // 17 ErrorTitle
    "Riprova",  // 18 ButtonTryAgain
    "Rimuovere vestrana da questo computer?",  // 19 RemoveQuestion
    "Elimina anche l’accesso e le impostazioni",  // 20 OptionDeleteData
    "Rimuovi",  // 21 ButtonRemove
    "Rimozione di vestrana …",  // 22 StepRemoving
    "vestrana è stato rimosso.",  // 23 RemovedTitle
    "Il tuo account e i tuoi post restano sul server.",  // 24 RemovedHint
    "Questo file di installazione non contiene l’app. Scaricalo di nuovo.",  // 25 ErrorNoPayload
    "Non è stato possibile preparare Microsoft WebView2. Controlla la connessione a internet.",  // 26 ErrorWebView2
    "Non è stato possibile scrivere i file ({detail}).",  // 27 ErrorWriteFiles
    "L’installazione è già in corso.",  // 28 ErrorAlreadyRunning
    "vestrana si installa per una sola persona. Avvia questa installazione dal tuo account, non come sistema.",  // 29 ErrorLocalSystem
    "Installazione di vestrana",  // 30 ShutdownReason
    "vestrana è in esecuzione con diritti di amministratore. Chiudilo e riprova.",  // 31 ErrorAppElevated
}};

constexpr StringTable kTurkish{{
    "vestrana Kurulumu",  // 0 SetupTitle
    "vestrana’yu kaldır",  // 1 RemoveTitle
    "Windows için masaüstü uygulaması · Sürüm {version}",  // 2 Subtitle
    "{old} sürümünden güncelleme",  // 3 UpdateFrom
    "Masaüstünde kısayol",  // 4 OptionDesktopShortcut
    "Windows ile başlat, bildirim alanında",  // 5 OptionAutostart
    "Kur",  // 6 ButtonInstall
    "Güncelle",  // 7 ButtonUpdate
    "vestrana kapatılıyor …",  // 8 StepClosingApp
    "Dosyalar kopyalanıyor …",  // 9 StepCopyingFiles
    "Microsoft WebView2 hazırlanıyor …",  // 10 StepWebView2
    "Kısayollar oluşturuluyor …",  // 11 StepShortcuts
    "Neredeyse bitti …",  // 12 StepAlmostDone
    "vestrana hazır.",  // 13 DoneTitle
    "Uygulamayı Başlat menüsünde bulabilirsin.",  // 14 DoneHint
    "vestrana’yu aç",  // 15 ButtonOpen
    "Kapat",  // 16 ButtonClose
    "Bu olmadı.",  // 17 ErrorTitle
    "Yeniden dene",  // 18 ButtonTryAgain
    "vestrana bu bilgisayardan kaldırılsın mı?",  // 19 RemoveQuestion
    "Oturumu ve ayarları da sil",  // 20 OptionDeleteData
    "Kaldır",  // 21 ButtonRemove
    "vestrana kaldırılıyor …",  // 22 StepRemoving
    "vestrana kaldırıldı.",  // 23 RemovedTitle
    "Hesabın ve gönderilerin sunucuda kalır.",  // 24 RemovedHint
    "Bu kurulum dosyasında uygulama yok. Lütfen yeniden indir.",  // 25 ErrorNoPayload
    "Microsoft WebView2 hazırlanamadı. Lütfen internet bağlantısını kontrol et.",  // 26 ErrorWebView2
    "Dosyalar yazılamadı ({detail}).",  // 27 ErrorWriteFiles
    "Kurulum zaten çalışıyor.",  // 28 ErrorAlreadyRunning
    "vestrana tek bir kişi için kurulur. Bu kurulumu sistem olarak değil, kendi hesabından çalıştır.",  // 29 ErrorLocalSystem
    "vestrana yükleniyor",  // 30 ShutdownReason
    "vestrana yönetici haklarıyla çalışıyor. Kapatıp yeniden dene.",  // 31 ErrorAppElevated
}};

// The five codes after the fallback "en", as one run of letters, in the
// same order as the tables below.
constexpr std::string_view kCodes = "defresittr";
constexpr const StringTable* kTables[] = {&kGerman, &kFrench, &kSpanish, &kItalian, &kTurkish};

// The names of the drawn title bar's two buttons, which only screen readers
// speak: [0] English, then the tables above in their order.
struct TitleButtonNames {
  std::string_view minimize;
  std::string_view close;
};
constexpr TitleButtonNames kTitleButtonNames[] = {
    {"Minimize", "Close"},   {"Minimieren", "Schließen"},  {"Réduire", "Fermer"},
    {"Minimizar", "Cerrar"}, {"Riduci a icona", "Chiudi"}, {"Simge durumuna küçült", "Kapat"},
};

}  // namespace

LanguageCode language_for_langid(uint16_t langid) {
  switch (langid & 0x3FF) {
    case 0x07: return LanguageCode{{'d', 'e'}};
    case 0x0C: return LanguageCode{{'f', 'r'}};
    case 0x0A: return LanguageCode{{'e', 's'}};
    case 0x10: return LanguageCode{{'i', 't'}};
    case 0x1F: return LanguageCode{{'t', 'r'}};
    default: return LanguageCode{{'e', 'n'}};
  }
}

uint16_t langid_for(LanguageCode code, uint16_t user_langid) {
  static constexpr uint16_t kHome[] = {0x0407, 0x040C, 0x0C0A, 0x0410, 0x041F};
  uint16_t home = 0x0409;
  for (uint16_t langid : kHome) {
    if (language_for_langid(langid) == code) home = langid;
  }
  // Only the primary language (the low ten bits) has to match.
  return (user_langid & 0x3FF) == (home & 0x3FF) ? user_langid : home;
}

const StringTable& table_for(LanguageCode code) {
  char first = ascii_lower(code.letters[0]);
  char second = ascii_lower(code.letters[1]);
  for (size_t k = 0; k < std::size(kTables); ++k) {
    if (kCodes[2 * k] == first && kCodes[2 * k + 1] == second) return *kTables[k];
  }
  return kEnglish;
}

std::string_view title_button_name(const StringTable& table, bool close) {
  size_t language = 0;
  for (size_t k = 0; k < std::size(kTables); ++k) {
    if (&table == kTables[k]) language = k + 1;
  }
  const TitleButtonNames& names = kTitleButtonNames[language];
  return close ? names.close : names.minimize;
}

std::string fill_version(std::string_view template_text, std::string_view version, std::string_view old) {
  return replace_all(replace_all(template_text, "{version}", version), "{old}", old);
}

StringId step_label(Step step) {
  switch (step) {
    case Step::ClosingApp: return StringId::StepClosingApp;
    case Step::CopyingFiles: return StringId::StepCopyingFiles;
    case Step::WebView2Setup: return StringId::StepWebView2;
    case Step::Shortcuts: return StringId::StepShortcuts;
    case Step::Finishing: return StringId::StepAlmostDone;
    case Step::Removing: return StringId::StepRemoving;
  }
  return StringId::StepAlmostDone;
}

}  // namespace vestrana
