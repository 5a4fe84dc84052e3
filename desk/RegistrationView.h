#pragma once

#include "desk/FormRecord.h"
#include "desk/RegistrationFormLogic.h"
#include "platform/Gbk.h"

#include <QDate>
#include <optional>
#include <vector>

class QWidget;

namespace regdesk {

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

    // The document-number prefixes, index-aligned with the items of 1242.
    virtual const std::vector<GbkString>& numberPrefixes() const = 0;
    // The item chosen in 1242; nullopt when none is.
    virtual std::optional<GbkString> chosenNumberPrefix() const = 0;
    // Puts a document number into 1242 (empty text clears it).
    virtual void proposeNumber(const GbkString& number) = 0;
    // 1314 and 1297: the last number of the chosen prefix and its title.
    virtual void showLastNumber(const GbkString& number, const GbkString& title) = 0;
    virtual void setCodeNumber(const GbkString& codeNumber) = 0; // 1099
    virtual void setKind(const GbkString& kind) = 0;             // 1243

    // The registration list (1045).
    virtual RegisterRows& rows() = 0;

    // Ends the form, as its close box would.
    virtual void closeForm() = 0;
};

} // namespace regdesk
