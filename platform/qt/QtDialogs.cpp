// Message boxes, template dialogs and file choosers on Qt widgets.
#include "platform/EventLoop.h"
#include "platform/qt/QtBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

namespace platform::qt {
namespace {

// ---- Controls of a template ---------------------------------------------------

class TemplatePanel;

// Takes the messages posted to one control.
class ControlTarget final : public MessageTarget {
public:
    ControlTarget(ControlKind kind, QWidget* control) : kind_(kind), control_(control) {}
    void handleMessage(const Message& message) override {
        if (kind_ == ControlKind::Progress && message.id == clientMessage) {
            auto position = static_cast<int>(std::min<std::uintptr_t>(message.wParam, 100));
            static_cast<QProgressBar*>(control_)->setValue(position);
        }
    }

private:
    ControlKind kind_;
    QWidget* control_;
};

// The controls of a template laid out on a host widget, reached by id.
class TemplatePanel : public Dialog {
public:
    TemplatePanel(const DialogTemplate& dialog, QWidget* host, DialogHandler* handler)
        : templateId_(dialog.id), host_(host), handler_(handler) {
        QFont font = QApplication::font();
        font.setPointSize(dialog.fontPointSize);
        host->setFont(font);
        QFontMetrics metrics(font);
        // The font's base units: the average width of the 52 letters, and the height.
        int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        averageWidth_ = (letters / 26 + 1) / 2;
        height_ = metrics.height();
        host->setFixedSize(dialogUnitsToPixelsX(dialog.width, averageWidth_), dialogUnitsToPixelsY(dialog.height, height_));
        QButtonGroup* radios = nullptr;
        for (const auto& control : dialog.controls) build(control, radios);
    }

    ~TemplatePanel() override {
        for (auto& [id, handle] : handles_) unregisterWindow(handle);
    }

    QWidget* host() const { return host_; }
    int defaultButton() const { return defaultButton_; }

    void command(int id) {
        if (handler_ != nullptr) handler_->command(*this, id);
    }

    // Dialog
    int templateId() const override { return templateId_; }
    void setCaption(const std::string& caption) override { host_->window()->setWindowTitle(QString::fromStdString(caption)); }
    std::string caption() const override { return host_->window()->windowTitle().toStdString(); }
    bool hasControl(int id) const override { return controls_.count(id) != 0; }

    bool setText(int id, const std::string& text) override {
        QWidget* control = find(id);
        if (control == nullptr) return false;
        QString value = QString::fromStdString(text);
        if (auto* label = qobject_cast<QLabel*>(control)) label->setText(value);
        else if (auto* line = qobject_cast<QLineEdit*>(control)) line->setText(value);
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) plain->setPlainText(value);
        else if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(value);
        else if (auto* group = qobject_cast<QGroupBox*>(control)) group->setTitle(value);
        else return false;
        return true;
    }

    std::string text(int id, std::size_t maximum) const override {
        QWidget* control = find(id);
        QString value;
        if (auto* label = qobject_cast<QLabel*>(control)) value = label->text();
        else if (auto* line = qobject_cast<QLineEdit*>(control)) value = line->text();
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) value = plain->toPlainText();
        else if (auto* button = qobject_cast<QAbstractButton*>(control)) value = button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(control)) value = group->title();
        std::string bytes = value.toStdString();
        if (maximum == 0) return {};
        if (bytes.size() > maximum - 1) {
            // Cut at a character boundary, never inside a UTF-8 sequence.
            std::size_t cut = maximum - 1;
            while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
            bytes.resize(cut);
        }
        return bytes;
    }

    void setChecked(int id, bool checked) override {
        if (auto* button = qobject_cast<QAbstractButton*>(find(id))) button->setChecked(checked);
    }
    bool checked(int id) const override {
        auto* button = qobject_cast<QAbstractButton*>(find(id));
        return button != nullptr && button->isChecked();
    }
    void enableControl(int id, bool enabled) override {
        if (QWidget* control = find(id)) control->setEnabled(enabled);
    }
    bool controlEnabled(int id) const override {
        QWidget* control = find(id);
        return control != nullptr && control->isEnabled();
    }
    int progressPosition(int id) const override {
        auto* bar = qobject_cast<QProgressBar*>(find(id));
        return bar != nullptr ? bar->value() : 0;
    }
    WindowHandle controlHandle(int id) const override {
        auto found = handles_.find(id);
        return found == handles_.end() ? noWindow : found->second;
    }
    void end(int /*result*/) override {}
    void press(int id) override {
        if (auto* button = qobject_cast<QAbstractButton*>(find(id))) button->click();
    }
    void pressKey(DialogKey /*key*/) override {}

private:
    QWidget* find(int id) const {
        auto found = controls_.find(id);
        return found == controls_.end() ? nullptr : found->second;
    }

    QRect place(const ControlTemplate& control) const {
        return QRect(dialogUnitsToPixelsX(control.x, averageWidth_), dialogUnitsToPixelsY(control.y, height_),
                     dialogUnitsToPixelsX(control.width, averageWidth_), dialogUnitsToPixelsY(control.height, height_));
    }

    void build(const ControlTemplate& control, QButtonGroup*& radios) {
        QString text = QString::fromStdString(control.text);
        QWidget* widget = nullptr;
        QAbstractButton* button = nullptr;
        switch (control.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(text, host_);
            if (control.style & controlStyle::border) label->setFrameStyle(QFrame::Box | QFrame::Plain);
            // A multi-line static wraps its text at word ends within its width.
            if (control.style & controlStyle::multiline) label->setWordWrap(true);
            widget = label;
            break;
        }
        case ControlKind::Edit:
            if (control.style & controlStyle::multiline) {
                auto* plain = new QPlainTextEdit(text, host_);
                plain->setReadOnly(control.style & controlStyle::readOnly);
                widget = plain;
            } else {
                auto* line = new QLineEdit(text, host_);
                line->setReadOnly(control.style & controlStyle::readOnly);
                if (control.style & controlStyle::number) line->setValidator(new QIntValidator(0, 2147483647, line));
                widget = line;
            }
            break;
        case ControlKind::Button: {
            auto* push = new QPushButton(text, host_);
            push->setAutoDefault(false);
            if (control.style & controlStyle::defaultButton) {
                push->setDefault(true);
                defaultButton_ = control.id;
            }
            button = push;
            break;
        }
        case ControlKind::Check:
            button = new QCheckBox(text, host_);
            button->setChecked(control.style & controlStyle::checked);
            break;
        case ControlKind::Radio:
            if (radios == nullptr || (control.style & controlStyle::groupStart)) {
                radios = new QButtonGroup(host_);
                radios->setExclusive(true);
            }
            button = new QRadioButton(text, host_);
            radios->addButton(button);
            button->setChecked(control.style & controlStyle::checked);
            break;
        case ControlKind::Group:
            widget = new QGroupBox(text, host_);
            widget->lower();  // a frame behind the controls it surrounds
            break;
        case ControlKind::Progress: {
            auto* bar = new QProgressBar(host_);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        }
        if (button != nullptr) {
            int id = control.id;
            QObject::connect(button, &QAbstractButton::clicked, host_, [this, id] { command(id); });
            widget = button;
        }
        widget->setGeometry(place(control));
        if (control.style & controlStyle::disabled) widget->setEnabled(false);
        if (control.kind == ControlKind::Group) widget->lower();
        if (control.id != -1) {
            controls_[control.id] = widget;
            targets_.push_back(std::make_unique<ControlTarget>(control.kind, widget));
            handles_[control.id] = registerWindow(targets_.back().get());
        }
    }

    int templateId_;
    QWidget* host_;
    DialogHandler* handler_;
    int averageWidth_ = 6;
    int height_ = 13;
    int defaultButton_ = okButton;
    std::map<int, QWidget*> controls_;
    std::map<int, WindowHandle> handles_;
    std::vector<std::unique_ptr<ControlTarget>> targets_;
};

// ---- Dialogs ---------------------------------------------------------------------

class DialogWindow;

class ShownDialog final : public TemplatePanel {
public:
    ShownDialog(const DialogTemplate& dialog, QDialog* window, DialogHandler* handler)
        : TemplatePanel(dialog, window, handler), window_(window) {}
    void end(int result) override;
    void pressKey(DialogKey key) override {
        QKeyEvent event(QEvent::KeyPress, key == DialogKey::Escape ? Qt::Key_Escape : Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(window_, &event);
    }

private:
    QDialog* window_;
};

class DialogWindow final : public QDialog {
public:
    explicit DialogWindow(QWidget* owner) : QDialog(owner) {}
    void setPanel(ShownDialog* panel) { panel_ = panel; }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (panel_ == nullptr) return;
        switch (event->key()) {
        case Qt::Key_Escape: panel_->command(cancelButton); return;
        case Qt::Key_Return:
        case Qt::Key_Enter: panel_->command(panel_->defaultButton()); return;
        default: QDialog::keyPressEvent(event);
        }
    }
    void closeEvent(QCloseEvent* event) override {
        // Closing from the caption is the same as cancelling.
        event->ignore();
        if (panel_ != nullptr) panel_->command(cancelButton);
    }

private:
    ShownDialog* panel_ = nullptr;
};

void ShownDialog::end(int result) {
    // From any thread: ends the dialog's loop on the UI thread.
    QMetaObject::invokeMethod(window_, [window = window_, result] { window->done(result); }, Qt::QueuedConnection);
}

// ---- Scripted sessions -------------------------------------------------------

class NoOpenUi final : public OpenUi {
public:
    void selectPath(const std::string& /*path*/) override {}
    std::string controlText(int /*id*/) override { return {}; }
    std::string currentPath() override { return {}; }
};

class ChooserUi final : public OpenUi {
public:
    ChooserUi(QFileDialog& dialog, TemplatePanel* child) : dialog_(dialog), child_(child) {}
    // As a click on the file in the list: it becomes the current item, so
    // the dialog reports the change of selection.
    void selectPath(const std::string& path) override {
        QFileInfo info(QString::fromStdString(path));
        dialog_.setDirectory(info.absolutePath());
        dialog_.selectFile(info.fileName());
        if (auto* view = dialog_.findChild<QListView*>("listView")) {
            if (auto* model = qobject_cast<QFileSystemModel*>(view->model())) {
                view->setCurrentIndex(model->index(info.absoluteFilePath()));
            }
        }
        QCoreApplication::processEvents();
    }
    std::string controlText(int id) override { return child_ != nullptr ? child_->text(id, 4096) : std::string(); }
    std::string currentPath() override { return dialog_.selectedFiles().value(0).toStdString(); }

private:
    QFileDialog& dialog_;
    TemplatePanel* child_;
};

bool hasExtension(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

// A window that captured the pointer for a press (a button that opens a
// modal window from its press) would keep every later click away from the
// modal window: the release that ends the capture never reaches it while
// the modal window runs.
void releasePointerCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

}  // namespace

BoxAnswer QtBackend::messageBox(const BoxRequest& request, const std::optional<ScriptedAnswer>& answer) {
    QMessageBox::Icon icon = request.icon == BoxIcon::Exclamation ? QMessageBox::Warning
                             : request.icon == BoxIcon::Error     ? QMessageBox::Critical
                                                                  : QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons =
        request.buttons == BoxButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
    QMessageBox box(icon, QString::fromStdString(request.caption), QString::fromStdString(request.text), buttons);
    box.setWindowModality(Qt::ApplicationModal);
    if (answer) {
        QMessageBox::StandardButton choice = answer->kind == ScriptedAnswer::Kind::Yes  ? QMessageBox::Yes
                                             : answer->kind == ScriptedAnswer::Kind::No ? QMessageBox::No
                                                                                         : QMessageBox::Ok;
        QTimer::singleShot(0, &box, [&box, &answer, choice] {
            NoOpenUi ui;
            if (answer->whileOpen) answer->whileOpen(ui);
            box.button(choice)->click();
        });
    }
    ModalScope modal;
    releasePointerCapture();
    int result = box.exec();
    if (request.buttons == BoxButtons::Ok) return BoxAnswer::Ok;
    return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

int QtBackend::runDialog(WindowHandle owner, const DialogTemplate& dialog, DialogHandler& handler,
                         const DialogResponder& responder) {
    DialogWindow window(widget(owner));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dialog.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    window.setWindowFlags(flags);
    window.setWindowModality(owner != noWindow ? Qt::WindowModal : Qt::ApplicationModal);
    window.setWindowTitle(QString::fromStdString(dialog.caption));
    ShownDialog shown(dialog, &window, &handler);
    window.setPanel(&shown);
    WindowHandle self = registerWindow(nullptr);
    addDialogWidget(self, &window);
    handler.init(shown);
    if (responder) QTimer::singleShot(0, &window, [&responder, &shown] { responder(shown); });
    int result;
    {
        ModalScope modal;
        releasePointerCapture();
        result = window.exec();
    }
    window.setPanel(nullptr);
    removeDialogWidget(self);
    unregisterWindow(self);
    return result;
}

ChooserOutcome QtBackend::chooseFile(const ChooserRequest& request, const std::optional<ScriptedAnswer>& answer,
                                     std::string& path) {
    QFileDialog dialog(widget(request.owner));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(request.owner != noWindow ? Qt::WindowModal : Qt::ApplicationModal);
    switch (request.kind) {
    case ChooserKind::Open:
        dialog.setWindowTitle("Open");
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QString::fromStdString(chooserFilterText(request)));
        break;
    case ChooserKind::Save:
        dialog.setWindowTitle("Save As");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setNameFilter(QString::fromStdString(chooserFilterText(request)));
        if (!request.extensions.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.extensions.front()));
        break;
    case ChooserKind::Folder:
        dialog.setWindowTitle("Browse For Folder");
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::LookIn, QString::fromStdString(request.instruction));
        break;
    }
    if (!request.initialPath.empty()) {
        QFileInfo info(QString::fromStdString(request.initialPath));
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }

    std::unique_ptr<TemplatePanel> child;
    if (request.kind == ChooserKind::Open && request.childTemplate != nullptr) {
        auto* host = new QWidget(&dialog);
        child = std::make_unique<TemplatePanel>(*request.childTemplate, host, nullptr);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            grid->addWidget(host, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    if (request.selectionChanged) {
        QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&request, &child](const QString& selected) {
            if (child) request.selectionChanged(selected.toStdString(), *child);
        });
    }

    std::string scriptedPath;
    if (answer) {
        QTimer::singleShot(0, &dialog, [&] {
            ChooserUi ui(dialog, child.get());
            if (answer->whileOpen) answer->whileOpen(ui);
            if (answer->kind == ScriptedAnswer::Kind::Path) {
                scriptedPath = answer->path;
                static_cast<QDialog&>(dialog).done(QDialog::Accepted);
            } else {
                static_cast<QDialog&>(dialog).done(QDialog::Rejected);
            }
        });
    }
    int result;
    {
        ModalScope modal;
        releasePointerCapture();
        result = dialog.exec();
    }
    if (result != QDialog::Accepted) return ChooserOutcome::Cancelled;
    std::string chosen = answer ? scriptedPath : dialog.selectedFiles().value(0).toStdString();
    QFileInfo info(QString::fromStdString(chosen));
    switch (request.kind) {
    case ChooserKind::Open:
        if (!info.isFile()) return ChooserOutcome::Cancelled;  // the file must exist
        break;
    case ChooserKind::Save:
        if (!hasExtension(chosen) && !request.extensions.empty()) chosen += "." + request.extensions.front();
        break;
    case ChooserKind::Folder:
        if (!info.isDir()) return ChooserOutcome::Cancelled;
        break;
    }
    path = chosen;
    return ChooserOutcome::Chosen;
}

}  // namespace platform::qt
