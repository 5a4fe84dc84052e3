#pragma once

#include "intake/FileBarcodeReader.h"

#include <QObject>
#include <QStringList>
#include <deque>
#include <functional>

namespace regdesk {

class Prompter;
class RegistrationView;
class ScanIntake;

// Incoming documents that arrive as files (dropped onto the full form, or
// handed over by regdesk-intake): each file's barcode is read off the GUI
// thread, one file after the other, and its payload goes the way of a scan.
// A file without one is told by name and the next one is read. In 发文登记
// nothing is read.
class FileIntake final : public QObject
{
    Q_OBJECT

public:
    using Reader = std::function<FileReading(const QString& path)>;

    FileIntake(
        RegistrationView& view, Prompter& prompter, ScanIntake& intake,
        Reader reader = [](const QString& path) { return readBarcodeFile(path); });

    // Files handed over while others are read wait their turn.
    void takeFiles(const QStringList& paths);

private:
    void readWaitingFiles();

    RegistrationView& m_view;
    Prompter& m_prompter;
    ScanIntake& m_intake;
    Reader m_reader;
    std::deque<QString> m_waiting;
    bool m_reading = false;
};

} // namespace regdesk
