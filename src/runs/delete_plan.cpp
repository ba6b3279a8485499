#include "runs/delete_plan.h"

#include "model/list_rows.h"
#include "model/mail_list_model.h"

bool DeleteBlock::sameAccount(const MailItem& row) const
{
    return userName == row.userName && password == row.key.password && server == row.server &&
           port == row.port;
}

std::vector<DeleteBlock> planDeletion(const MailListModel& mails)
{
    std::vector<DeleteBlock> plan;
    for (int i = 1; i <= mails.itemCount(); ++i) {
        const MailItem& row = mails.item(i - 1);
        if (row.isNoMailRow() || isRowChecked(mails, i) != true)
            continue;
        if (!plan.empty() && plan.back().sameAccount(row)) {
            plan.back().markedRows += 1;
            plan.back().lastRow = i;
            continue;
        }
        plan.push_back({1, row.userName, row.key.password, row.server, row.port, i, i});
    }
    return plan;
}
