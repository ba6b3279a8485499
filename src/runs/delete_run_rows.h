#pragma once

#include <QString>

class MailListModel;

// The first row (1-based) that is a mail row with its check box ticked;
// 0 when there is none.
int firstMarkedMailRow(const MailListModel& mails);
