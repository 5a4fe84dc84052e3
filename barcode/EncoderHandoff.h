#pragma once

#include "platform/Clock.h"
#include "platform/DeskNotice.h"
#include "platform/Gbk.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace regdesk {

class LaunchedProcess;
class ProcessLauncher;
class ProcessList;
class SettingsFile;

// 1 when a running process has this executable file name (compared
// lower-cased), 0 when none has, -1 when the process list cannot be read.
int isProcessRunning(const ProcessList& processes, const GbkString& executableName);

// A document number made safe as a file name inside the output folder:
// "/", "\" and the dots of ".." become "_" (GBK characters are left whole).
GbkString safePictureName(const GbkString& number);

// The hand-off of one payload to the encoder program and the pick-up of its picture.
class EncoderHandoff
{
public:
    static constexpr std::chrono::seconds kGiveUpAfter{5};

    // The encoder's exchange files in the program directory, in the order they are removed.
    static const std::vector<GbkString>& exchangeFiles();
    static GbkString encoderName(); // "pdf417"

    // The encoder is started from `encoderFolder` (empty: the program
    // directory); its exchange files are always in the program directory.
    EncoderHandoff(GbkString programDirectory, ProcessLauncher& launcher, const ProcessList& processes,
                   const Clock& clock, GbkString encoderFolder = {});
    ~EncoderHandoff();
    EncoderHandoff(const EncoderHandoff&) = delete;
    EncoderHandoff& operator=(const EncoderHandoff&) = delete;

    // Removes the encoder's output files left from before, writes TxtTemp.txt
    // and MakeBarCode.ini (from the PDF list of `settings`) and starts the
    // encoder in the program directory. A hand-off still outstanding is
    // replaced. When an old output file cannot be removed or an exchange file
    // cannot be written completely, the encoder is not started (it would
    // encode, or be taken to have encoded, another document) and the result
    // is "条码生成失败" with the reason; nothing is then waited for.
    std::optional<DeskNotice> start(const GbkString& payload, const SettingsFile& settings);

    // True between start() and a pick-up or give-up.
    bool isWaiting() const { return m_process != nullptr; }

    enum class State
    {
        Waiting, // come back at the next tick
        Ready,   // the encoder has ended and left all its files
        Failed,  // it ended without them: the notice says so
    };
    struct Poll
    {
        State state = State::Waiting;
        std::optional<DeskNotice> notice; // "进程意外" while waiting, "条码生成失败" on failure
    };
    // One tick of the wait.
    Poll poll();

    struct PickUp
    {
        GbkString folder;     // the output folder as set
        GbkString outputPath; // the picture's path
        bool pictureWritten = false;
        // The picture, when its registration was not saved and a picture of
        // that name exists: the earlier one is kept, this one waits for the save.
        std::optional<std::string> heldPicture;
        // Why the picture failed the self-check: then nothing was saved, no
        // picture is left and the notices say "条码自检失败".
        std::optional<GbkString> selfCheckFailure;
        std::vector<DeskNotice> notices;
    };
    // After Ready: prepares the output folder and path, writes the picture
    // stretched to (Width x 3.7, Height x 3.7) beside its final name and,
    // unless 条码自检 is "否", reads it back and checks that its symbol holds
    // exactly the bytes handed to the encoder. A picture that fails is deleted
    // and nothing is saved. Otherwise runs `save` (true when the handed-off
    // registration is in the register now), puts the picture under its name
    // and removes the exchange files.
    PickUp pickUp(const SettingsFile& settings, const GbkString& firstRowNumber, const std::function<bool()>& save);

    // The text of MakeBarCode.ini: "[PDF]" and every entry of that list, CR LF lines.
    static std::string barcodeSettingsText(const SettingsFile& settings);

    // The files the encoder writes, removed before it starts.
    static const std::vector<GbkString>& outputFiles();

private:
    GbkString m_programDirectory;
    GbkString m_encoderFolder;
    ProcessLauncher& m_launcher;
    const ProcessList& m_processes;
    const Clock& m_clock;
    std::unique_ptr<LaunchedProcess> m_process;
    std::string m_handedOver;                  // TxtTemp.txt as written: what the symbol must hold
    std::optional<Clock::TimePoint> m_endSeen; // when the encoder was first seen ended
};

} // namespace regdesk
