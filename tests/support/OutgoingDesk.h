#pragma once

#include "FakeClock.h"
#include "FakeDesktopOpener.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessList.h"
#include "FakePrompter.h"
#include "FakeRegisters.h"
#include "FakeRegistrationView.h"
#include "SymbolPictures.h"
#include "TestRecords.h"
#include "desk/ModeSwitch.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationSaver.h"
#include "platform/FileSystem.h"
#include "settings/AppPaths.h"

namespace regdesk::test {

// The outgoing controllers of a form over fakes: a form without a window, the
// registers, the encoder's process, the clock and the desktop. The program
// directory must be set before it is made.
struct OutgoingDesk
{
    FakeRegistrationView view;
    FakePrompter prompter;
    FakeOutgoingRegister register_;
    FakeRegisterStore store;
    FakeProcessLauncher launcher;
    FakeProcessList processes;
    FakeClock clock;
    FakeDesktopOpener opener;
    ModeSwitch modes{view, prompter};
    RegistrationSaver saver{view, prompter, store};
    OutgoingRegistration outgoing{view, prompter, register_, saver, launcher, processes, clock, opener};

    // The encoder, once started, leaves a picture of TxtTemp.txt and its other files at once.
    void encoderLeavesItsFiles()
    {
        launcher.onStart([](const FakeProcessLauncher::Start&) {
            const std::optional<std::string> handedOver = readWholeFile(AppPaths::besideProgram("TxtTemp.txt"));
            writeWholeFile(AppPaths::besideProgram("TempPdf.bmp"), symbolBitmap(handedOver.value_or("")));
            for (const char* name : {"TempPdf.emf", "TempPdf.wmf", "TempCode.txt"})
                writeWholeFile(AppPaths::besideProgram(name), "x");
        });
    }
};

} // namespace regdesk::test
