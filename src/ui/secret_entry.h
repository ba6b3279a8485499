#pragma once

#include <QObject>
#include <QString>

class MainWindow;
class Prompter;
class QLineEdit;
class QPlainTextEdit;
struct RunSettings;

// The text with the spaces at both ends removed; tabs and line breaks stay
// (a pasted secret keeps its line breaks).
QString trimSpaces(const QString& text);

// The two secret entry boxes of the settings pages: the run password box
// Text7 and the APOP secret box Text8. Both act only on the Enter key, which
// they swallow; the stored value is never shown again, the box is emptied.
class SecretEntry : public QObject
{
    Q_OBJECT

public:
    // The most the secret box holds: what the scrambled secret keeps.
    static constexpr int SecretLimit = 248;

    SecretEntry(MainWindow& form, RunSettings& settings, Prompter& prompter,
                QObject* parent = nullptr);

    // Enter in Text7: deletes the current password (when the box holds it)
    // or sets a new one after a confirmation.
    void runPasswordEntered();
    // Enter in Text8: stores the box text as the secret after a confirmation.
    void apopSecretEntered();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepSecretWithinLimit();

    RunSettings& m_settings;
    Prompter& m_prompter;
    QLineEdit* m_runPasswordBox;
    QPlainTextEdit* m_apopSecretBox;
};
