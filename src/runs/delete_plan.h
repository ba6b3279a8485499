#pragma once

#include <QString>
#include <vector>

class MailListModel;
struct MailItem;

// The marked rows of one account that follow each other on the mail list:
// one visit of the delete run.
struct DeleteBlock
{
    int markedRows = 0;
    QString userName;
    QString password;
    QString server;
    QString port;
    int firstRow = 0; // 1-based, the first and the last marked row
    int lastRow = 0;

    bool sameAccount(const MailItem& row) const;
    bool operator==(const DeleteBlock&) const = default;
};

// The blocks of the marked mail rows, in list order; a "(no mail)" row is
// never part of one.
std::vector<DeleteBlock> planDeletion(const MailListModel& mails);
