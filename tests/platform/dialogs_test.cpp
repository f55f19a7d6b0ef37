// The dialog calls: button sets, the fallback backend, and the scripted
// double that the other tests rely on.
#include "platform/Dialogs.h"
#include "support/ScriptedDialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <vector>

using namespace ostrak;

TEST(Dialogs, WithoutABackendTheDefaultButtonAnswers) {
    DialogBackend* previous = SetDialogBackend(nullptr);
    EXPECT_EQ(MsgBox("t", vbYesNo, "x"), vbYes);
    EXPECT_EQ(MsgBox("t", vbYesNo + vbDefaultButton2, "x"), vbNo);
    EXPECT_EQ(MsgBox("t", vbAbortRetryIgnore + vbDefaultButton3, "x"), vbIgnore);
    EXPECT_EQ(MsgBox("t", vbOKOnly + vbDefaultButton3, "x"), vbOK);
    EXPECT_EQ(InputBox("p", "t", "default"), "");
    SetDialogBackend(previous);
}

TEST(ScriptedDialogs, AnswersPlannedDialogsInOrder) {
    ScriptedDialogs dialogs;
    int during = 0;
    dialogs.ExpectMsgBox("Sure?", vbYesNo + vbQuestion, "Are you sure?", vbNo, [&] { ++during; })
        .ExpectInputBox("Where?", "Install where?", "/a", "/b")
        .ExpectInputBox("Where?", "Install where?", "/b", "");
    EXPECT_EQ(MsgBox("Sure?", vbQuestion + vbYesNo, "Are you sure?"), vbNo);
    EXPECT_EQ(during, 1);
    EXPECT_EQ(InputBox("Where?", "Install where?", "/a"), "/b");
    EXPECT_EQ(InputBox("Where?", "Install where?", "/b"), "");
    EXPECT_EQ(dialogs.ShownCount(), 3);
}

TEST(ScriptedDialogs, FailsOnWrongTextTitleIconOrButtons) {
    struct Case {
        const char* Text;
        int32_t Style;
        const char* Title;
        const char* Complaint;
    };
    const Case cases[] = {
        {"Other text", vbCritical, "T", "text of message box"},
        {"Text", vbCritical, "Other", "title of message box"},
        {"Text", vbExclamation, "T", "icon of message box"},
        {"Text", vbCritical + vbOKCancel, "T", "buttons of message box"},
        {"Text", vbCritical + vbDefaultButton2, "T", "default button"},
    };
    for (const Case& c : cases) {
        EXPECT_NONFATAL_FAILURE(
            {
                ScriptedDialogs dialogs;
                dialogs.ExpectMsgBox("Text", vbCritical + vbOKOnly, "T", vbOK);
                MsgBox(c.Text, c.Style, c.Title);
            },
            c.Complaint);
    }
}

TEST(ScriptedDialogs, FailsOnUnplannedAndOnMissingDialogs) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            EXPECT_EQ(MsgBox("Surprise", vbYesNoCancel, "T"), vbCancel);
        },
        "unplanned message box");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            EXPECT_EQ(InputBox("Prompt", "T", "d"), "");
        },
        "unplanned input box");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.ExpectInputBox("Prompt", "T", "d", "x");
            InputBox("Prompt", "T", "other default");
        },
        "default of input box");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.ExpectMsgBox("Never shown", vbOKOnly, "T", vbOK);
        },
        "was never shown");
}

TEST(ScriptedDialogs, RestoresThePreviousBackend) {
    ScriptedDialogs outer;
    outer.ExpectMsgBox("outer", vbOKOnly, "T", vbOK);
    {
        ScriptedDialogs inner;
        inner.ExpectMsgBox("inner", vbOKOnly, "T", vbOK);
        MsgBox("inner", vbOKOnly, "T");
    }
    MsgBox("outer", vbOKOnly, "T");
}
