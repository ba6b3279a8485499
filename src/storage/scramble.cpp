#include "storage/scramble.h"

#include "platform/codepage.h"

#include <QRandomGenerator>
#include <array>

namespace {

constexpr int blockSize = 16;
constexpr int plainSize = 64;
constexpr int maxPasswordLength = 62;
constexpr int secretParts = 4;

// Character k of the output block is character forward[k] of the input
// block (1-based, as written in the table); inverse undoes it.
constexpr std::array<int, blockSize> forward{14, 3, 9, 4, 16, 11, 2, 7, 13, 6, 15, 5, 1, 8, 12, 10};
constexpr std::array<int, blockSize> inverse{13, 7, 2, 4, 12, 10, 8, 14, 3, 16, 6, 15, 9, 1, 11, 5};

// The stored text shows the permuted plain blocks in the order 2, 0, 3, 1.
constexpr std::array<int, 4> storedOrder{2, 0, 3, 1};

QString permute(QStringView block, const std::array<int, blockSize>& table)
{
    QString out(blockSize, QChar(' '));
    for (int k = 0; k < blockSize; ++k)
        out[k] = block[table[k] - 1];
    return out;
}

double defaultRandomUnit()
{
    return QRandomGenerator::global()->generateDouble();
}

QChar fillerCharacter(const RandomUnit& random)
{
    double r = random ? random() : defaultRandomUnit();
    // An injected source outside [0, 1) must still give printable filler.
    if (!(r >= 0.0))
        r = 0.0;
    int code = 32 + int(r * 95.0);
    if (code > 126)
        code = 126;
    return QChar(code);
}

} // namespace

QString scramblePassword(const QString& text, const RandomUnit& random)
{
    // The scrambled text is stored one byte per character, so it is built
    // from what the code page can hold ("?" for the rest); otherwise a
    // character outside it would shift the stored blocks.
    const QString kept = fromAnsi(toAnsi(text)).left(maxPasswordLength);
    QString plain = QStringLiteral("%1").arg(kept.size(), 2, 10, QChar('0')) + kept;
    while (plain.size() < plainSize)
        plain.append(fillerCharacter(random));

    QString scrambled;
    scrambled.reserve(plainSize);
    for (int block : storedOrder)
        scrambled += permute(QStringView(plain).mid(block * blockSize, blockSize), forward);
    return scrambled;
}

QString unscramblePassword(const QString& scrambled)
{
    if (scrambled.size() != plainSize)
        return BadLengthMarker;

    QString plain(plainSize, QChar(' '));
    for (int slot = 0; slot < 4; ++slot) {
        const QString restored =
            permute(QStringView(scrambled).mid(slot * blockSize, blockSize), inverse);
        plain.replace(storedOrder[slot] * blockSize, blockSize, restored);
    }

    bool ok = false;
    const int length = plain.left(2).toInt(&ok);
    if (!ok || length <= 0)
        return QString();
    return plain.mid(2, length);
}

QString scrambleSecret(const QString& text, const RandomUnit& random)
{
    QString scrambled;
    scrambled.reserve(plainSize * secretParts);
    for (int part = 0; part < secretParts; ++part)
        scrambled +=
            scramblePassword(text.mid(part * maxPasswordLength, maxPasswordLength), random);
    return scrambled;
}

QString unscrambleSecret(const QString& scrambled)
{
    if (scrambled.size() != plainSize * secretParts)
        return BadLengthMarker;
    QString text;
    for (int part = 0; part < secretParts; ++part)
        text += unscramblePassword(scrambled.mid(part * plainSize, plainSize));
    return text;
}
