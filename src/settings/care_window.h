// The settings window `care`: texts of its flow. Its handlers live with the
// rest of the gadget's handlers (shell/app_impl.h).
#pragma once

#include <string_view>

namespace tarvex::settings {

inline constexpr std::string_view kNextStartNotice =
    "最前面表示機能をOFFにした場合は、次回起動時から有効です。";

}  // namespace tarvex::settings
