#pragma once

#include <QObject>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The option boxes of the three settings pages, in the order of their
// object names Check1 to Check11.
enum class OptionBox {
    CheckSelectedOnly,
    AutoCheckOnOpen,
    UseRetr,
    DeleteEnabled,
    PlaySound,
    UseApop,
    TrayOnClose,
    AutoStartTimer,
    ToolTipsOff,
    ContinuousAlarm,
    IdleIfOffline,
};
inline constexpr int OptionBoxCount = 11;

// The "Run Settings" frame and its pages P. 1 to P. 3, one shown at a time;
// the "<" and ">" links switch between them.
class SettingsPages : public QObject
{
    Q_OBJECT

public:
    explicit SettingsPages(QWidget* surface);

    QGroupBox* frame() const { return m_frame; } // Frame1
    QCheckBox* optionBox(OptionBox box) const { return m_options[std::size_t(box)]; }
    QLineEdit* intervalBox() const { return m_intervalBox; }             // Text6
    QLineEdit* timeoutBox() const { return m_timeoutBox; }               // Text9
    QLineEdit* runPasswordBox() const { return m_runPasswordBox; }       // Text7
    QPlainTextEdit* apopSecretBox() const { return m_apopSecretBox; }    // Text8
    QComboBox* dateStyleChooser() const { return m_dateStyleChooser; }   // ImageCombo1
    QPushButton* intervalDownButton() const { return m_spinButtons[0]; } // Command10
    QPushButton* intervalUpButton() const { return m_spinButtons[1]; }   // Command11
    QPushButton* timeoutDownButton() const { return m_spinButtons[2]; }  // Command6
    QPushButton* timeoutUpButton() const { return m_spinButtons[3]; }    // Command9
    // The "Defaults" button of page 1 to 3 (Command14, Command13, Command12).
    QPushButton* defaultsButton(int page) const { return m_defaultsButtons[std::size_t(page - 1)]; }

    // 1 to 3; another number is ignored.
    int currentPage() const { return m_currentPage; }
    void showPage(int page);
    // Keeps the pages centred in the frame after it was resized.
    void centrePages();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* buildPage(const QString& name, int page, const QString& heading);
    void buildFirstPage();
    void buildSecondPage();
    void buildThirdPage();
    void buildPageFooter(QGroupBox* page, int pageNumber);
    void buildSpinBox(QWidget* page, const QString& name, int left, int top, int firstButton,
                      const QString& downName, const QString& upName);
    QCheckBox* buildOption(QWidget* page, OptionBox box, const QString& text, double left,
                           double top, double width, double height);

    QGroupBox* m_frame = nullptr;
    std::array<QGroupBox*, 3> m_pages{}; // Frame2, Frame4, Frame5
    std::array<QCheckBox*, OptionBoxCount> m_options{};
    QLineEdit* m_intervalBox = nullptr;
    QLineEdit* m_timeoutBox = nullptr;
    QLineEdit* m_runPasswordBox = nullptr;
    QPlainTextEdit* m_apopSecretBox = nullptr;
    QComboBox* m_dateStyleChooser = nullptr;
    std::array<QPushButton*, 4> m_spinButtons{};
    std::array<QPushButton*, 3> m_defaultsButtons{};
    int m_currentPage = 1;
};
