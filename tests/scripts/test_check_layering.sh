#!/bin/sh
# scripts/check-layering.sh against a tiny tree, one planted include per
# case: it must accept the good ones and reject each bad one, naming the
# file and line of the include.
#   test_check_layering.sh PATH/TO/check-layering.sh
set -eu
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tree that follows the layering: one header per library, each including
# one it may use.
plant_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree/scripts"
    cp "$script" "$work/tree/scripts/check-layering.sh"
    for pair in platform: storage:platform pop3:platform model:pop3 runs:model ui:runs app:ui; do
        folder=${pair%%:*} below=${pair#*:}
        mkdir -p "$work/tree/src/$folder"
        {
            echo "#pragma once"
            [ -n "$below" ] && echo "#include \"$below/$below.h\""
            echo "#include <QString>"
        } >"$work/tree/src/$folder/$folder.h"
        printf '#include "%s/%s.h"\n\nint %sValue() { return 1; }\n' \
            "$folder" "$folder" "$folder" >"$work/tree/src/$folder/$folder.cpp"
    done
}

failures=0
# expect VERDICT FILE LINE: appends LINE to src/FILE and runs the check.
expect() {
    verdict=$1 file=$2 line=$3
    plant_tree
    printf '%s\n' "$line" >>"$work/tree/src/$file"
    at="src/$file:$(wc -l <"$work/tree/src/$file"):"
    rc=0
    out=$(cd "$work/tree" && sh scripts/check-layering.sh src 2>&1) || rc=$?
    case $verdict in
    accept) [ $rc -eq 0 ] && return ;;
    reject) [ $rc -eq 1 ] && printf '%s\n' "$out" | grep -q "^$at" && return ;;
    esac
    echo "FAIL: expected $verdict of '$line' in $file (exit $rc):"
    printf '%s\n' "$out" | sed 's/^/    /'
    failures=$((failures + 1))
}

expect accept storage/storage.cpp '#include "platform/platform.h"'
expect accept app/app.cpp '#include "storage/storage.h"'
expect accept runs/runs.cpp '#include "runs/runs.h"'
expect accept model/model.cpp '#include "model.h"'
expect accept ui/ui.cpp '#include <QWidget>'
expect accept app/app.cpp '#include <QtWidgets/QApplication>'
expect accept platform/platform.cpp '#include <QSslSocket>'
expect accept platform/platform.cpp '// #include "ui/ui.h" (a comment)'
expect accept runs/runs.cpp '#include "storage/storage.h"'

expect reject platform/platform.cpp '#include "storage/storage.h"'
expect reject storage/storage.h '#include "pop3/pop3.h"'
expect reject pop3/pop3.cpp '#include "model/model.h"'
expect reject pop3/pop3.cpp '#include "storage/storage.h"'
expect reject model/model.h '#include "runs/runs.h"'
expect reject model/model.cpp '#include "storage/storage.h"'
expect reject runs/runs.cpp '#include "ui/ui.h"'
expect reject ui/ui.cpp '#include "app/app.h"'
expect reject storage/storage.cpp '#include <pop3/pop3.h>'
expect reject model/model.cpp '  #  include "ui/ui.h"'
expect reject storage/storage.cpp '#include "../ui/ui.h"'
expect reject runs/runs.cpp '#include <QWidget>'
expect reject model/model.h '#include <QtWidgets/QTableView>'
expect reject platform/platform.cpp '#include <QMessageBox>'
expect reject pop3/pop3.cpp '#include <QtWidgets>'

# A folder without a rule is refused rather than let through.
plant_tree
mkdir "$work/tree/src/extra"
echo '#include "app/app.h"' >"$work/tree/src/extra/extra.cpp"
if (cd "$work/tree" && sh scripts/check-layering.sh src >/dev/null 2>&1); then
    echo "FAIL: a folder without a layering rule was accepted"
    failures=$((failures + 1))
fi

[ $failures -eq 0 ] && echo "check-layering: every case as expected"
[ $failures -eq 0 ]
