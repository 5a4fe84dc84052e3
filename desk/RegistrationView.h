#pragma once

#include "desk/FormRecord.h"
#include "desk/RegistrationFormLogic.h"
#include "platform/Gbk.h"

#include <QDate>
#include <QDateTime>
#include <optional>
#include <vector>

class QWidget;

namespace regdesk {

class AdoRecordset;
class ListCells;
class RegisterRows;
class RegistrationEvents;

// A registration form as its controllers drive it: the full form and the
// compact add-in form both offer it. Controllers read and set the fields only
// through these calls and learn of the clerk's actions from events().
class RegistrationView
{
public:
    virtual ~RegistrationView() = default;

    virtual RegistrationEvents& events() = 0;
    // The window that owns the form's message boxes.
    virtual QWidget* boxOwner() = 0;

    virtual RegistrationMode mode() const = 0;
    // Shows `mode`: title, icon, mode button, and the outgoing fields on
    // (cleared, then filled with `defaults`) or off.
    virtual void showMode(RegistrationMode mode, const RegistrationFormLogic::OutgoingDefaults& defaults) = 0;

    // The fields as one record.
    virtual FormRecord currentRecord() const = 0;
    // 成文时期 (1252): numbering takes its year, a scan its date.
    virtual QDate documentDate() const = 0;
    // The date and time the picker holds (a backup is named after them): its
    // date, and the time of day it was given when the form was made.
    virtual QDateTime documentDateTime() const = 0;

    // The document-number prefixes, index-aligned with the items of 1242.
    virtual const std::vector<GbkString>& numberPrefixes() const = 0;
    // The item chosen in 1242; nullopt when none is.
    virtual std::optional<GbkString> chosenNumberPrefix() const = 0;
    // Chooses item `index` of 1242 as a pick from its list would (-1 chooses none).
    virtual void selectNumberPrefix(int index) = 0;
    // Puts a document number into 1242 (empty text clears it).
    virtual void proposeNumber(const GbkString& number) = 0;
    // 1314 and 1297: the last number of the chosen prefix and its title.
    virtual void showLastNumber(const GbkString& number, const GbkString& title) = 0;
    virtual void setCodeNumber(const GbkString& codeNumber) = 0; // 1099
    virtual void setKind(const GbkString& kind) = 0;             // 1243
    virtual void setTitle(const GbkString& title) = 0;           // 1238
    virtual void setRecipient(const GbkString& recipient) = 0;   // 1305
    // The drafter's completion (1257) lists these people from now on.
    virtual void setPeople(AdoRecordset& people) = 0;

    // Gives the keyboard focus to 1308 发文信息确认.
    virtual void focusConfirmation() = 0;
    // Shows 保存 (1025) enabled, as the default button and with the focus: a
    // form that keeps it hidden offers it when a save must be repeated.
    virtual void offerSave() = 0;

    // The registration list (1045).
    virtual RegisterRows& rows() = 0;
    // The same list as the printing operations see it.
    virtual ListCells& listCells() = 0;

    // Ends the form, as its close box would.
    virtual void closeForm() = 0;
};

} // namespace regdesk
