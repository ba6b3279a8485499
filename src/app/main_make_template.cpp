// Writes the template settings file that the program copies into a user's
// data folder at the first start.
#include "storage/settings_record.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvamel-mktemplate OUTPUT\n");
        return 2;
    }
    QSaveFile file(QFile::decodeName(argv[1]));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(SettingsRecord::templateRecord().encode()) != SettingsRecord::Size ||
        !file.commit()) {
        std::fprintf(stderr, "quorvamel-mktemplate: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
