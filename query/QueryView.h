#pragma once

#include "platform/Gbk.h"

#include <QString>
#include <QtGlobal>
#include <vector>

class QWidget;

namespace regdesk {

class RegisterListModel;

// The query window as its controller sees it.
class QueryView
{
public:
    virtual ~QueryView() = default;

    // The owner of the window's boxes and file dialogs.
    virtual QWidget* boxOwner() = 0;
    virtual void setCaption(const QString& caption) = 0;

    virtual GbkString fuzzyText() const = 0; // edit 108
    virtual GbkString fieldName() const = 0; // combo 1309, chosen or typed
    virtual void setFieldName(const GbkString& name) = 0;
    virtual void setFieldNames(const std::vector<GbkString>& names) = 0;
    virtual GbkString exactValue() const = 0; // edit 1264

    virtual RegisterListModel& listRows() = 0;
    virtual std::vector<int> selectedRows() const = 0;
    // After new rows: each column as wide as its header and texts need.
    virtual void fitColumnsToContents() = 0;

    // The progress bar (1285): shown with `done` of `total`, or busy when the
    // total is not known; hidden again after the work.
    virtual void showProgress(qint64 done, qint64 total) = 0;
    virtual void hideProgress() = 0;

    virtual void setSelectionCount(const QString& text) = 0; // static 1321
};

} // namespace regdesk
