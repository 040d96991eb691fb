#!/usr/bin/env bash
# Takes the README's pictures from the real program, running under Wine on a
# virtual display of its own: the main window, the popup beside the pointer,
# the version window, the icon's menu, the menu of recent copies, the
# search window, the phrases' window and the sharing window.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine
rtrillex_build "$RTRILLEX_PRESET" rTrillex demo_driver
build="build/$RTRILLEX_PRESET"

work=$(mktemp -d)
trap 'rtrillex_stop_all; rm -rf "$work"' EXIT
rtrillex_start_display 1024x768x24
rtrillex_start_wine "$root/build/wine-$WINEARCH"
cp "$build/rTrillex.exe" "$work/"
(cd "$work" && rtrillex_wine ./rTrillex.exe >/dev/null 2>&1 &)

drive() { rtrillex_wine "$build/demo_driver.exe" "$@"; }

# wait_for NAME: the X window of the visible Wine window whose title is NAME.
wait_for() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "screenshot: '$1' did not appear" >&2
  return 1
}

# Around the pointer, in the middle of the screen: the popup opens above it, the menu below.
snap_above_pointer() { import -window root -crop 360x160+392+284 "$1"; }
snap_below_pointer() { import -window root -crop "${2:-200x80}+502+374" "$1"; }

sleep 1
# A short history first, with line breaks and tabs among its copies.
drive copy "https://example.org/manual/clipboard.html"
drive copy $'住所：東京都千代田区\n電話：03-1234-5678'
drive copy $'名前\t数量\nりんご\t3'
sleep 1.5  # the popups' second runs out
drive show
main=$(wait_for '^Trillex$')
drive copy "クリップボードに コピーしました"
sleep 0.5
snap_above_pointer docs/popup.png
# The main window alone once the popup's second has run out: a window
# captured under another comes out with a black hole where that one stood.
sleep 1.5
import -window "$main" docs/main-window.png

drive version
version=$(wait_for 'rStashel')
sleep 0.5
import -window "$version" docs/version-window.png

xdotool windowunmap "$version" 2>/dev/null || true
xdotool windowunmap "$main" 2>/dev/null || true
drive menu
sleep 0.8
snap_below_pointer docs/tray-menu.png 230x144
xdotool key Escape

# Two pictures among them, offered as PNG alone (as an image program does):
# the menu shows their thumbnails.
xclip -selection clipboard -t image/png -i docs/version-window.png
sleep 0.5
drive copy "クリップボードに コピーしました"
xclip -selection clipboard -t image/png -i docs/main-window.png
sleep 0.5
drive copy "ありがとうございました"
sleep 1
# The address kept as a fixed phrase (the seventh entry): the menu opens
# again with it on top, lettered.
drive recent
sleep 0.8
xdotool key Down Down Down Down Down Down Down ctrl+p
sleep 1
snap_below_pointer docs/recent-copies.png 360x360
xdotool key Escape
sleep 0.5

drive search "電話"
search=$(wait_for '履歴を検索')
sleep 0.5
import -window "$search" docs/search-window.png
xdotool key Escape
sleep 0.5

# The phrases arranged from the icon's menu: a reply typed in after the
# address, a separator after it, and the address selected again.
drive menu
sleep 0.8
xdotool key e
editor=$(wait_for '定型文の編集')
sleep 0.5
xdotool key alt+a
xdotool type --delay 20 'Thank you for your message.'
xdotool key Return
xdotool type --delay 20 'I will reply by Friday.'
xdotool key Tab alt+l Home
sleep 0.5
import -window "$editor" docs/phrase-editor.png
xdotool key Escape
sleep 0.5

# The sharing window, as the first PC fills it in.
drive menu
sleep 0.8
# Clicked: the menu opened over no window of the program's does not get the keys.
xdotool mousemove 597 429 click 1
sharing=$(wait_for '^ほかの PC と共有$')
sleep 0.5
xdotool type --delay 20 'D:\Dropbox\Clipboard'
sleep 0.5
import -window "$sharing" docs/sharing-window.png
echo "wrote docs/main-window.png docs/popup.png docs/version-window.png docs/tray-menu.png docs/recent-copies.png docs/search-window.png docs/phrase-editor.png docs/sharing-window.png"
