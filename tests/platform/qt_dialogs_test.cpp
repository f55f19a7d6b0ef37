// The Qt dialogs: what the user sees for each style, and the answers given
// back for each button, Escape, OK and Cancel.
#include "platform/widgets/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace ostrak;

namespace {

// Runs act on the modal dialog once it is open (the dialog call blocks).
template <class Dialog> void WhenOpen(std::function<void(Dialog*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog open";
            return;
        }
        act(dialog);
    });
}

} // namespace

TEST(QtDialogs, MessageBoxShowsStyleAndReturnsTheClickedButton) {
    struct Case {
        int32_t Style;
        QMessageBox::Icon Icon;
        std::vector<QMessageBox::StandardButton> Buttons;
        int Click; // index of the button clicked
        int32_t Answer;
    };
    const Case cases[] = {
        {vbCritical + vbOKOnly, QMessageBox::Critical, {QMessageBox::Ok}, 0, vbOK},
        {vbYesNo + vbQuestion, QMessageBox::Question, {QMessageBox::Yes, QMessageBox::No}, 1, vbNo},
        {vbYesNo + vbInformation,
         QMessageBox::Information,
         {QMessageBox::Yes, QMessageBox::No},
         0,
         vbYes},
        {vbYesNoCancel + vbExclamation,
         QMessageBox::Warning,
         {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel},
         2,
         vbCancel},
        {vbAbortRetryIgnore,
         QMessageBox::NoIcon,
         {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore},
         1,
         vbRetry},
        {vbRetryCancel, QMessageBox::NoIcon, {QMessageBox::Retry, QMessageBox::Cancel}, 0, vbRetry},
        {vbOKCancel, QMessageBox::NoIcon, {QMessageBox::Ok, QMessageBox::Cancel}, 1, vbCancel},
    };
    for (const Case& c : cases) {
        WhenOpen<QMessageBox>([&c](QMessageBox* box) {
            EXPECT_EQ(box->windowTitle().toStdString(), "Title");
            EXPECT_EQ(box->text().toStdString(), "First line\nSecond line");
            EXPECT_EQ(box->icon(), c.Icon);
            ASSERT_EQ(box->buttons().size(), static_cast<qsizetype>(c.Buttons.size()));
            for (QMessageBox::StandardButton b : c.Buttons)
                EXPECT_NE(box->button(b), nullptr);
            EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                      box->button(c.Buttons[0]));
            box->button(c.Buttons[c.Click])->click();
        });
        QtDialogs dialogs;
        EXPECT_EQ(dialogs.MsgBox("First line\r\nSecond line", c.Style, "Title"), c.Answer)
            << c.Style;
    }
}

TEST(QtDialogs, EscapeAnswersCancelOrNoOrTheOnlyButton) {
    struct Case {
        int32_t Style;
        int32_t Answer;
    };
    for (const Case& c : {Case{vbOKOnly, vbOK}, Case{vbYesNo, vbNo}, Case{vbYesNoCancel, vbCancel},
                          Case{vbOKCancel, vbCancel}}) {
        WhenOpen<QMessageBox>([](QMessageBox* box) { box->reject(); });
        QtDialogs dialogs;
        EXPECT_EQ(dialogs.MsgBox("Text", c.Style, "Title"), c.Answer) << c.Style;
    }
}

TEST(QtDialogs, DefaultButtonFollowsTheStyle) {
    QWidget window;
    window.show();
    WhenOpen<QMessageBox>([&window](QMessageBox* box) {
        EXPECT_EQ(box->parentWidget(), &window); // owned by the window shown
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                  box->button(QMessageBox::No));
        box->defaultButton()->click();
    });
    QtDialogs dialogs;
    dialogs.SetOwner(&window);
    EXPECT_EQ(dialogs.MsgBox("Text", vbYesNo + vbDefaultButton2, "Title"), vbNo);
}

TEST(QtDialogs, InputBoxGivesTheTextOrEmptyWhenCancelled) {
    QWidget window;
    window.show();
    QtDialogs dialogs;
    dialogs.SetOwner(&window);
    WhenOpen<QInputDialog>([&window](QInputDialog* box) {
        EXPECT_EQ(box->parentWidget(), &window);
        EXPECT_GE(box->width(), QtDialogs::InputBoxWidthAt96Dpi * box->logicalDpiX() / 96);
        EXPECT_EQ(box->windowTitle().toStdString(), "Install where?");
        EXPECT_EQ(box->labelText().toStdString(), "Where would you like to install Ostrak?");
        EXPECT_EQ(box->textValue().toStdString(), "/home/p/Games/Ostrak");
        box->setTextValue(QStringLiteral("/opt/Ostrak"));
        box->accept();
    });
    EXPECT_EQ(dialogs.InputBox("Where would you like to install Ostrak?", "Install where?",
                               "/home/p/Games/Ostrak"),
              "/opt/Ostrak");

    WhenOpen<QInputDialog>([](QInputDialog* box) {
        box->setTextValue(QStringLiteral("typed, then cancelled"));
        box->reject();
    });
    EXPECT_EQ(dialogs.InputBox("Prompt", "Title", "default"), "");
}
