#!/usr/bin/env bash
# Renders the README pictures of the installer's four pages and five dialogs with
# glyphora-skinview (headless, with the windows' drop shadows) into docs/images/.
#
#   tools/skinview/readme_images.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/../.."
view="${1:-build}/bin/glyphora-skinview"
out=docs/images
mkdir -p "$out"
export GLYPHORA_TRACE=off
"$view" --page 0 --png "$out/page0-start.png" --shadow
"$view" --page 1 --dir "/home/user/.local/share/Lexivo" --png "$out/page1-custom.png" --shadow
"$view" --page 2 --progress 45 --frame 12 --png "$out/page2-installing.png" --shadow
"$view" --page 3 --png "$out/page3-finished.png" --shadow
"$view" --skin MessageBox1Wnd.xml --caption "温馨提示" \
  --text '安装程序检测到Lexivo\n正在运行，请退出程序后再安装' --png "$out/dialog-messagebox1.png" --shadow
"$view" --skin MessageBox2Wnd.xml --caption "温馨提示" \
  --text "磁盘空间不足，请选择其他安装路径" --png "$out/dialog-messagebox2.png" --shadow
"$view" --skin exitTipWnd.xml --png "$out/dialog-exit.png" --shadow
"$view" --skin InstalledPathTipWnd.xml --png "$out/dialog-installed.png" --shadow
"$view" --skin NetworkTipWnd.xml --png "$out/dialog-network.png" --shadow
