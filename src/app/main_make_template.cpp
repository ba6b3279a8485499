// Writes the template settings file that the program copies into a user's
// data folder at the first start.
#include "storage/atomic_file.h"
#include "storage/settings_record.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvamel-mktemplate OUTPUT\n");
        return 2;
    }
    if (!writeFileAtomically(QFile::decodeName(argv[1]),
                             SettingsRecord::templateRecord().encode())) {
        std::fprintf(stderr, "quorvamel-mktemplate: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
