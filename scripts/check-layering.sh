#!/bin/sh
# Fails when a file under src/ includes a folder it may not use, or when a
# library below ui includes a widget header. Prints file:line for each.
#   scripts/check-layering.sh [SRC_DIR]     (default: src)
# The folders each library may include besides its own:
allowed() {
    case $1 in
    platform) echo "" ;;
    storage) echo "platform" ;;
    pop3) echo "platform" ;;
    model) echo "pop3 platform" ;;
    runs) echo "model pop3 storage platform" ;;
    ui) echo "runs model pop3 storage platform" ;;
    app) echo "ui runs model pop3 storage platform" ;;
    *) echo "?" ;;
    esac
}
# Libraries that may use widgets.
widget_folders="ui app"

set -eu
cd "$(dirname "$0")/.."
src=${1:-src}
if [ ! -d "$src" ]; then
    echo "check-layering: no folder $src" >&2
    exit 2
fi

# The widget headers are the ones Qt installs for QtWidgets.
widgets_dir=${QT_WIDGETS_HEADERS:-}
if [ -z "$widgets_dir" ] && command -v qmake6 >/dev/null; then
    widgets_dir=$(qmake6 -query QT_INSTALL_HEADERS)/QtWidgets
fi
if [ -z "$widgets_dir" ] || [ ! -f "$widgets_dir/QWidget" ]; then
    for dir in /usr/include/*/qt6/QtWidgets /usr/include/qt6/QtWidgets; do
        [ -f "$dir/QWidget" ] && widgets_dir=$dir && break
    done
fi
if [ -z "$widgets_dir" ] || [ ! -f "$widgets_dir/QWidget" ]; then
    echo "check-layering: QtWidgets headers not found (set QT_WIDGETS_HEADERS)" >&2
    exit 2
fi

folders=$(find "$src" -mindepth 1 -maxdepth 1 -type d -exec basename {} \; | sort)
rules=
for folder in $folders; do
    may=$(allowed "$folder")
    if [ "$may" = "?" ]; then
        echo "$src/$folder: no layering rule for this folder; add one to $0" >&2
        exit 1
    fi
    widgets=no
    case " $widget_folders " in *" $folder "*) widgets=yes ;; esac
    rules="$rules$folder:$widgets:$may;"
done

findings=$(find "$src" -mindepth 2 -type f \( -name '*.h' -o -name '*.cpp' \) | sort |
    xargs -r awk -v src="$src" -v rules="$rules" -v folders="$folders" -v widgets_dir="$widgets_dir" '
    BEGIN {
        n = split(rules, list, ";")
        for (i = 1; i <= n; i++) {
            if (list[i] == "") continue
            split(list[i], part, ":")
            widgets_ok[part[1]] = part[2] == "yes"
            m = split(part[3], may, " ")
            for (j = 1; j <= m; j++) ok[part[1], may[j]] = 1
            ok[part[1], part[1]] = 1
        }
        n = split(folders, list, "\n")
        for (i = 1; i <= n; i++) known[list[i]] = 1
        listing = "ls \"" widgets_dir "\""
        while ((listing | getline name) > 0) widget[name] = 1
        close(listing)
    }
    FNR == 1 {
        rel = substr(FILENAME, length(src) + 2)
        folder = substr(rel, 1, index(rel, "/") - 1)
    }
    /^[ \t]*#[ \t]*include[ \t]*[<"]/ {
        target = $0
        sub(/^[ \t]*#[ \t]*include[ \t]*[<"]/, "", target)
        sub(/[>"].*$/, "", target)
        where = FILENAME ":" FNR ": "
        if (target ~ /(^|\/)\.\.\//) {
            print where "relative include \"" target "\" leaves the folder"
            next
        }
        slash = index(target, "/")
        head = slash ? substr(target, 1, slash - 1) : ""
        if (head in known && !((folder, head) in ok)) {
            print where folder " may not include " head " (" target ")"
            next
        }
        if (!widgets_ok[folder]) {
            if (head == "QtWidgets" || target == "QtWidgets" || (!slash && target in widget))
                print where "widget header <" target "> below ui"
        }
    }')

if [ -n "$findings" ]; then
    echo "$findings"
    echo "check-layering: $(echo "$findings" | wc -l) include(s) break the layering" >&2
    exit 1
fi
echo "check-layering: $src follows the layering"
