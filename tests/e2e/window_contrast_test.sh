#!/usr/bin/env bash
# High contrast under Wine: the prefix gets the system colours of a black
# high-contrast scheme, and the test build that takes high contrast as on
# (Wine never reports it) paints its welcome and done screens exactly as the
# preview does with the same colours.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

colours='HKCU\Control Panel\Colors'
reg_add "$colours" /v Window /t REG_SZ /d '0 0 0'
reg_add "$colours" /v WindowText /t REG_SZ /d '255 255 255'
reg_add "$colours" /v Hilight /t REG_SZ /d '26 235 255'
reg_add "$colours" /v HilightText /t REG_SZ /d '0 0 0'
reg_add "$colours" /v ButtonFace /t REG_SZ /d '0 0 0'
reg_add "$colours" /v GrayText /t REG_SZ /d '63 242 63'

# The preview with the same system colours.
install_looks_like_preview high-contrast "$VESTRANA_SETUP_CONTRAST" Escape '' --high-contrast
finish
