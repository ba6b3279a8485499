#include "storage/account_record.h"

#include "platform/codepage.h"
#include "storage/record_bytes.h"

using namespace recordbytes;

namespace {

enum Offset : int {
    DisplayNameAt = 0,
    UserNameAt = 64,
    PasswordAt = 128,
    ServerNameAt = 192,
    PortAt = 448,
    CheckedAt = 452,
};

constexpr int nameSize = 64;
constexpr int serverNameSize = 256;

} // namespace

QByteArray AccountRecord::completeBytes(const QByteArray& bytes)
{
    QByteArray full = bytes.left(Size);
    // Missing text bytes are blanks, missing number bytes zero.
    while (full.size() < Size)
        full.append(full.size() < PortAt ? ' ' : '\0');
    return full;
}

AccountRecord AccountRecord::decode(const QByteArray& bytes)
{
    const QByteArray b = completeBytes(bytes);
    AccountRecord r;
    r.displayName = fromAnsi(b.mid(DisplayNameAt, nameSize));
    r.userName = fromAnsi(b.mid(UserNameAt, nameSize));
    r.scrambledPassword = fromAnsi(b.mid(PasswordAt, nameSize));
    r.serverName = fromAnsi(b.mid(ServerNameAt, serverNameSize));
    r.port = readInt<std::int32_t>(b, PortAt);
    r.checked = readInt<std::int16_t>(b, CheckedAt);
    return r;
}

QByteArray AccountRecord::encode() const
{
    QByteArray b(Size, '\0');
    writeRaw(b, DisplayNameAt, toFixedField(displayName, nameSize), nameSize);
    writeRaw(b, UserNameAt, toFixedField(userName, nameSize), nameSize);
    writeRaw(b, PasswordAt, toFixedField(scrambledPassword, nameSize), nameSize);
    writeRaw(b, ServerNameAt, toFixedField(serverName, serverNameSize), serverNameSize);
    writeInt<std::int32_t>(b, PortAt, port);
    writeInt<std::int16_t>(b, CheckedAt, checked);
    return b;
}
