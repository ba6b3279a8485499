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
    r.DisplayName = fromAnsi(b.mid(DisplayNameAt, nameSize));
    r.UserName = fromAnsi(b.mid(UserNameAt, nameSize));
    r.ScrambledPassword = fromAnsi(b.mid(PasswordAt, nameSize));
    r.ServerName = fromAnsi(b.mid(ServerNameAt, serverNameSize));
    r.Port = readInt<std::int32_t>(b, PortAt);
    r.Checked = readInt<std::int16_t>(b, CheckedAt);
    return r;
}

QByteArray AccountRecord::encode() const
{
    QByteArray b(Size, '\0');
    writeRaw(b, DisplayNameAt, toFixedField(DisplayName, nameSize), nameSize);
    writeRaw(b, UserNameAt, toFixedField(UserName, nameSize), nameSize);
    writeRaw(b, PasswordAt, toFixedField(ScrambledPassword, nameSize), nameSize);
    writeRaw(b, ServerNameAt, toFixedField(ServerName, serverNameSize), serverNameSize);
    writeInt<std::int32_t>(b, PortAt, Port);
    writeInt<std::int16_t>(b, CheckedAt, Checked);
    return b;
}
