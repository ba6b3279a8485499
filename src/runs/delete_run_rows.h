#pragma once

#include <QString>

class MailListModel;

// The password a mail-list row carries in its key: the text after the
// key's first "P" (either case); empty when there is none.
QString passwordOfKey(const QString& key);

// The first row (1-based) that is a mail row with its check box ticked;
// 0 when there is none.
int firstMarkedMailRow(const MailListModel& mails);
