#include "app/IntakeCommand.h"

#include "app/CollectingPrompter.h"
#include "db/AdoDatabase.h"
#include "desk/RegistrationSaving.h"
#include "desk/SqlRegisterStore.h"
#include "intake/FileBarcodeReader.h"
#include "platform/FileSystem.h"
#include "platform/Prompter.h"
#include "scanner/ScanFields.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <sys/stat.h>

namespace regdesk {
namespace {

// Progress goes to standard error at most this often, once a run takes longer.
constexpr qint64 kProgressIntervalMs = 2000;

// One read row, selected, as 保存 finds it in the list.
class OneRow final : public PendingRows
{
public:
    explicit OneRow(DocumentRecord record) : m_record(std::move(record)) {}

    std::optional<int> firstSelectedRow() const override { return m_selected ? std::optional<int>(0) : std::nullopt; }
    DocumentRecord record(int) const override { return m_record; }
    void deselect(int) override { m_selected = false; }
    void remove(int) override { m_selected = false; }

private:
    DocumentRecord m_record;
    bool m_selected = true;
};

// Answers 保存's questions without a screen: a registered number is never
// replaced; other notices (an attachment) are kept as text.
class NoOverwrite final : public NoticeBoard
{
public:
    bool show(const DeskNotice& notice) override
    {
        if (notice.kind == DeskNotice::Kind::Message)
            texts += gbkToUtf8(notice.text) + "\n";
        else
            askedToReplace = true;
        return false;
    }

    bool askedToReplace = false;
    std::string texts;
};

// The files named: a folder stands for its regular files (not its
// subfolders), by name; a link among them is named, and refused by the reader.
QStringList filesOf(const std::vector<std::string>& names)
{
    QStringList files;
    for (const std::string& name : names) {
        const QString path = QString::fromStdString(name);
        struct stat info
        {
        };
        if (::lstat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            const QDir folder(path);
            for (const QString& entry : folder.entryList(QDir::Files | QDir::System, QDir::Name))
                files.append(folder.filePath(entry));
            continue;
        }
        files.append(path);
    }
    return files;
}

std::string utf8(const QString& text)
{
    return text.toStdString();
}

} // namespace

AdminResult intakeCommand(const std::vector<std::string>& arguments)
{
    AdminResult result;
    if (arguments.size() < 2) {
        result.exitCode = 64;
        result.errors = "usage: regdesk-admin intake DIR FILE...|FOLDER\n";
        return result;
    }
    const std::string& directory = arguments[0];
    if (auto failure = missingFolder(directory))
        return *failure;
    CollectingPrompter prompter;
    AdoDatabase database(prompter);
    if (auto failure = openDeskRegister(directory, database, prompter))
        return *failure;

    const QStringList files = filesOf({arguments.begin() + 1, arguments.end()});
    const QDate today = QDate::currentDate();
    const GbkString date = eightDigitDate(today.year(), today.month(), today.day());
    SqlRegisterStore store;
    int registered = 0, already = 0, noBarcode = 0, unreadable = 0, unsaved = 0;
    QElapsedTimer timer;
    timer.start();
    qint64 lastProgress = 0;
    for (qsizetype index = 0; index < files.size(); ++index) {
        const QString& path = files[index];
        if (timer.elapsed() - lastProgress >= kProgressIntervalMs) {
            lastProgress = timer.elapsed();
            std::fprintf(stderr, "regdesk-admin: intake %lld of %lld files\n", static_cast<long long>(index),
                         static_cast<long long>(files.size()));
        }
        const FileReading reading = readBarcodeFile(path);
        if (reading.status == FileReading::Status::NoBarcode) {
            ++noBarcode;
            result.output += "no barcode: " + utf8(path) +
                             (reading.reason.isEmpty() ? std::string() : " (" + utf8(reading.reason) + ")") + "\n";
            continue;
        }
        if (reading.status != FileReading::Status::Payload) {
            ++unreadable;
            result.errors += "regdesk-admin: " + utf8(readingMessage(path, reading).replace(u'\n', u' ')) + "\n";
            continue;
        }
        // The row a scan of the same barcode would list, saved as 保存 saves it.
        OneRow row(recordFromScan(splitScan(reading.payload), date));
        const GbkString number = row.record(0)[DocumentRecord::Number];
        NoOverwrite notices;
        std::vector<GbkString> saved;
        prompter.lines.clear();
        RegistrationSaving::saveSelectedRows(RegistrationMode::Incoming, row, store, notices, &saved);
        if (!saved.empty()) {
            ++registered;
        } else if (notices.askedToReplace) {
            ++already;
            result.output += "already registered: " + gbkToUtf8(number) + " (" + utf8(path) + ")\n";
        } else {
            ++unsaved;
            result.errors += "regdesk-admin: not saved: " + gbkToUtf8(number) + " (" + utf8(path) +
                             "): " + prompter.lines + notices.texts;
        }
    }
    AdoDatabase::setActiveConnection(nullptr);

    result.output += "registered: " + std::to_string(registered) + "\nalready registered: " + std::to_string(already) +
                     "\nno barcode: " + std::to_string(noBarcode) + "\nunreadable: " + std::to_string(unreadable) +
                     "\n";
    if (unsaved > 0)
        result.output += "not saved: " + std::to_string(unsaved) + "\n";
    if (unreadable > 0 || unsaved > 0)
        result.exitCode = 1;
    return result;
}

} // namespace regdesk
