#pragma once
// The fixed names every part of the setup agrees on.

#include <string_view>

#include "vestrana_version.h"  // generated from the build's VESTRANA_VERSION

namespace vestrana {

inline constexpr std::string_view kProductName = "vestrana";
inline constexpr std::string_view kAppProgram = "vestrana.exe";
inline constexpr std::string_view kLoaderLibrary = "WebView2Loader.dll";
inline constexpr std::string_view kUninstallerName = "uninstall.exe";
inline constexpr std::string_view kSetupVersion = VESTRANA_VERSION_TEXT;
inline constexpr std::string_view kAppIdentity = "com.vestrana.desktop";
inline constexpr std::string_view kInstanceMutexName = "Local\\vestrana-setup";
inline constexpr std::string_view kWindowClassName = "VestranaSetup";

}  // namespace vestrana
