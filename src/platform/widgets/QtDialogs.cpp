#include "platform/widgets/QtDialogs.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace ostrak {

namespace {

// "\r\n" (and a lone "\r") become the toolkit's line break.
QString DisplayText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

QMessageBox::StandardButton ButtonFor(int32_t answer) {
    switch (answer) {
    case vbOK:
        return QMessageBox::Ok;
    case vbCancel:
        return QMessageBox::Cancel;
    case vbAbort:
        return QMessageBox::Abort;
    case vbRetry:
        return QMessageBox::Retry;
    case vbIgnore:
        return QMessageBox::Ignore;
    case vbYes:
        return QMessageBox::Yes;
    default:
        return QMessageBox::No;
    }
}

QMessageBox::Icon IconFor(int32_t style) {
    switch (IconOf(style)) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

QWidget* QtDialogs::Owner() const {
    return Owner_ && Owner_->isVisible() ? Owner_.data() : nullptr;
}

int32_t QtDialogs::MsgBox(const std::string& text, int32_t style, const std::string& title) {
    QMessageBox box(IconFor(style), DisplayText(title), DisplayText(text), QMessageBox::NoButton,
                    Owner());
    box.setTextFormat(Qt::PlainText);
    const ButtonAnswers answers = AnswersOf(style);
    QPushButton* buttons[3] = {};
    for (int i = 0; i < answers.Count; ++i)
        buttons[i] = box.addButton(ButtonFor(answers.Answer[i]));
    int index = DefaultButtonOf(style);
    box.setDefaultButton(buttons[index < answers.Count ? index : 0]);
    box.exec();
    // Escape and the title bar's close button count as a click on the escape
    // button that QMessageBox picks (Cancel, No, Abort or the only button).
    for (int i = 0; i < answers.Count; ++i)
        if (box.clickedButton() == buttons[i])
            return answers.Answer[i];
    return answers.Answer[answers.Count - 1];
}

std::string QtDialogs::InputBox(const std::string& prompt, const std::string& title,
                                const std::string& defaultText) {
    QInputDialog dialog(Owner());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(DisplayText(title));
    dialog.setLabelText(DisplayText(prompt));
    dialog.setTextValue(QString::fromStdString(defaultText));
    // The dialog's layout sizes it from its contents: the field sets the width.
    if (auto* field = dialog.findChild<QLineEdit*>())
        field->setMinimumWidth(InputBoxWidthAt96Dpi * dialog.logicalDpiX() / 96);
    if (dialog.exec() != QDialog::Accepted)
        return std::string();
    return dialog.textValue().toStdString();
}

} // namespace ostrak
