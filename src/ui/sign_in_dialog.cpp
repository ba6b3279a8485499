#include "ui/sign_in_dialog.h"

#include "platform/oauth_presets.h"
#include "ui/command_line.h"
#include "ui/widget_walk.h"
#include "ui/window_controls.h"
#include "ui/window_look.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStandardItemModel>

namespace {

constexpr double DialogWidth = 5520;
constexpr double DialogHeight = 6330;
constexpr double FrameLeft = 120;
constexpr double FrameWidth = 5280;
constexpr double LabelLeft = 120;
constexpr double LabelWidth = 1380;
constexpr double FieldLeft = 1500;
constexpr double FieldWidth = 3660;
constexpr double RowPitch = 390;
constexpr double RowWidth = FieldLeft + FieldWidth - LabelLeft; // label and field together
constexpr double ButtonRowTop = 5760;

const QString noSecretService =
    QStringLiteral("No Secret Service Runs On This Desktop: The Secret Store Cannot Be Used");

// A label with its buddy box on one row of a frame; the label's mnemonic
// moves the focus to the box.
template <class Box>
Box* makeRow(QWidget* frame, const QString& name, const QString& caption, double top)
{
    auto* box = makeControl<Box>(frame, name, {FieldLeft, top, FieldWidth, 315});
    QLabel* label = makeLabel(frame, name + QStringLiteral("Label"), caption,
                              {LabelLeft, top + 45, LabelWidth, 225});
    label->setBuddy(box);
    box->setAccessibleName(QString(caption).remove(u'&'));
    return box;
}

bool isWebAddress(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

} // namespace

const QString& SignInDialog::otherProvider()
{
    static const QString other = QStringLiteral("Other");
    return other;
}

SignInDialog::SignInDialog(const Options& options, QWidget* parent)
    : QDialog(parent), m_options(options)
{
    setObjectName(QStringLiteral("SignInDialog"));
    setWindowTitle(QStringLiteral("Sign-In - ") + options.accountTitle);
    setFont(options.font);
    build();
    applyToolTips(options.toolTipsOff);
    WindowLook look(this);
    look.setPageColour(options.pageColour);
    look.applyPageColours();
    // Outside the frames the dialog's own background shows, not a page:
    // a filled label there would stand out as a patch.
    for (QObject* child : children()) {
        if (auto* label = qobject_cast<QLabel*>(child))
            label->setAutoFillBackground(false);
    }
}

void SignInDialog::build()
{
    setFixedSize(twipsRect(0, 0, DialogWidth, DialogHeight).size());
    SignInControls& c = m_controls;
    c.method = makeControl<QComboBox>(this, QStringLiteral("methodChooser"),
                                      {FieldLeft + FrameLeft, 135, FieldWidth, 315});
    makeLabel(this, QStringLiteral("methodChooserLabel"), QStringLiteral("Sign-In &Method"),
              {LabelLeft + FrameLeft, 180, LabelWidth, 225})
        ->setBuddy(c.method);
    c.method->setAccessibleName(QStringLiteral("Sign-In Method"));
    c.method->addItems(
        {QStringLiteral("Password"), QStringLiteral("SCRAM-SHA-256"), QStringLiteral("OAuth2")});
    buildSecretFrame();
    buildOAuthFrame();

    c.message = makeLabel(this, QStringLiteral("messageLabel"), QString(),
                          {FrameLeft, ButtonRowTop, 2820, 450});
    c.message->setWordWrap(true);
    c.message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    c.ok = makeButton(this, QStringLiteral("okButton"), QStringLiteral("OK"),
                      {3060, ButtonRowTop, 1080, 330});
    c.cancel = makeButton(this, QStringLiteral("cancelButton"), QStringLiteral("Cancel"),
                          {4260, ButtonRowTop, 1080, 330});
    // Enter takes the entries, Escape leaves them.
    c.ok->setDefault(true);
    connect(c.ok, &QPushButton::clicked, this, &SignInDialog::accept);
    connect(c.cancel, &QPushButton::clicked, this, &SignInDialog::reject);
    connect(c.signInNow, &QPushButton::clicked, this,
            [this] { emit signInRequested(m_options.mailbox, oauthClient()); });

    for (QComboBox* chooser : {c.method, c.origin})
        connect(chooser, &QComboBox::currentIndexChanged, this, &SignInDialog::updateEnabling);
    connect(c.provider, &QComboBox::currentIndexChanged, this, &SignInDialog::providerChosen);
    for (QLineEdit* box : {c.command, c.clientId, c.authorization, c.token, c.scope})
        connect(box, &QLineEdit::textChanged, this, &SignInDialog::updateEnabling);
    setReadingTabOrder(this);
    providerChosen();
}

void SignInDialog::buildSecretFrame()
{
    m_secretFrame = makeControl<QGroupBox>(this, QStringLiteral("secretFrame"),
                                           {FrameLeft, 555, FrameWidth, 1500});
    m_secretFrame->setTitle(QStringLiteral("Secret"));
    SignInControls& c = m_controls;
    c.origin = makeRow<QComboBox>(m_secretFrame, QStringLiteral("originChooser"),
                                  QStringLiteral("Secret &From"), 255);
    c.origin->addItems(
        {QStringLiteral("Users File"), QStringLiteral("Command"), QStringLiteral("Secret Store")});
    c.command = makeRow<QLineEdit>(m_secretFrame, QStringLiteral("commandBox"),
                                   QStringLiteral("&Command"), 255 + RowPitch);
    c.password = makeRow<QLineEdit>(m_secretFrame, QStringLiteral("storePasswordBox"),
                                    QStringLiteral("&Password To Store"), 255 + 2 * RowPitch);
    c.password->setEchoMode(QLineEdit::Password);
    if (!m_options.secretStoreAvailable) {
        auto* items = qobject_cast<QStandardItemModel*>(c.origin->model());
        QStandardItem* store = items->item(int(SecretOrigin::SecretStore));
        store->setEnabled(false);
        store->setToolTip(noSecretService);
    }
}

void SignInDialog::buildOAuthFrame()
{
    m_oauthFrame = makeControl<QGroupBox>(this, QStringLiteral("oauthFrame"),
                                          {FrameLeft, 2175, FrameWidth, 3465});
    m_oauthFrame->setTitle(QStringLiteral("OAuth2"));
    SignInControls& c = m_controls;
    const double top = 255;
    c.provider = makeRow<QComboBox>(m_oauthFrame, QStringLiteral("providerChooser"),
                                    QStringLiteral("P&rovider"), top);
    for (const OAuthPreset& preset : oauthPresets())
        c.provider->addItem(preset.name);
    c.provider->addItem(otherProvider());
    c.clientId = makeRow<QLineEdit>(m_oauthFrame, QStringLiteral("clientIdBox"),
                                    QStringLiteral("Client &ID"), top + RowPitch);
    c.authorization = makeRow<QLineEdit>(m_oauthFrame, QStringLiteral("authorizationUrlBox"),
                                         QStringLiteral("&Authorization URL"), top + 2 * RowPitch);
    c.token = makeRow<QLineEdit>(m_oauthFrame, QStringLiteral("tokenUrlBox"),
                                 QStringLiteral("&Token URL"), top + 3 * RowPitch);
    c.scope = makeRow<QLineEdit>(m_oauthFrame, QStringLiteral("scopeBox"), QStringLiteral("&Scope"),
                                 top + 4 * RowPitch);
    c.signInNow =
        makeButton(m_oauthFrame, QStringLiteral("signInNowButton"), QStringLiteral("Sign In &Now"),
                   {FieldLeft, top + 5 * RowPitch, 1500, 330});
    // While a sign-in waits: what for, and the page to open by hand, which
    // the user may select and copy but not change.
    const double noteTop = top + 6 * RowPitch;
    c.browserNote = makeLabel(m_oauthFrame, QStringLiteral("browserNoteLabel"), QString(),
                              {LabelLeft, noteTop, RowWidth, 390});
    c.browserNote->setWordWrap(true);
    c.browserNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    c.address = makeControl<QLineEdit>(m_oauthFrame, QStringLiteral("addressBox"),
                                       {LabelLeft, noteTop + 435, RowWidth, 315});
    c.address->setReadOnly(true);
    c.address->setEnabled(false);
    c.address->setAccessibleName(QStringLiteral("Sign-In Address"));
}

void SignInDialog::applyToolTips(bool off)
{
    const SignInControls& c = m_controls;
    const struct
    {
        QWidget* control;
        const char* tip;
    } tips[] = {
        {c.method, "How This Username Signs In: Password (USER/PASS Or APOP), SCRAM-SHA-256 Or "
                   "OAuth2 (Needs TLS)"},
        {c.origin, "Where The Password Comes From (OAuth2: A Command Prints The Access Token, "
                   "Else The Sign-In Below Is Used)"},
        {c.command, "Program And Arguments That Print The Secret On Their First Line (No Shell; "
                    "Group With \"Double Quotes\")"},
        {c.password, "Type The Password To Keep In The Desktop's Secret Store"},
        {c.provider, "The OAuth2 Provider; -Other- To Enter Its Addresses"},
        {c.clientId, "The Client Id Registered With The Provider"},
        {c.authorization, "The Provider's Authorization Address (https://...)"},
        {c.token, "The Provider's Token Address (https://...)"},
        {c.scope, "The Access The Sign-In Asks For (Space-Separated)"},
        {c.signInNow, "Open The Provider's Sign-In In The Browser Now"},
        {c.address, "The Provider's Sign-In Page: Copy It Into A Browser If None Opened (Closing "
                    "This Window Gives The Sign-In Up)"},
        {c.ok, "Keep These Sign-In Choices"},
        {c.cancel, "Close Without Changing Anything"},
    };
    for (const auto& entry : tips)
        entry.control->setToolTip(off ? QString() : QString::fromUtf8(entry.tip));
    // Why the store cannot be chosen is shown even with the tips off.
    if (!m_options.secretStoreAvailable)
        c.password->setToolTip(noSecretService);
}

void SignInDialog::providerChosen()
{
    const QList<OAuthPreset> presets = oauthPresets();
    const int index = m_controls.provider->currentIndex();
    if (index >= 0 && index < presets.size()) {
        const OAuthPreset& preset = presets.at(index);
        m_controls.authorization->setText(preset.authorizationUrl.toString());
        m_controls.token->setText(preset.tokenUrl.toString());
        m_controls.scope->setText(preset.scope);
    }
    updateEnabling();
}

void SignInDialog::updateEnabling()
{
    const SignInControls& c = m_controls;
    const auto method = SignInMethod(c.method->currentIndex());
    const auto origin = SecretOrigin(c.origin->currentIndex());
    const bool oauth = method == SignInMethod::OAuth2 && origin != SecretOrigin::Command;
    const bool other = c.provider->currentText() == otherProvider();
    c.command->setEnabled(origin == SecretOrigin::Command);
    c.password->setEnabled(origin == SecretOrigin::SecretStore && method != SignInMethod::OAuth2 &&
                           m_options.secretStoreAvailable);
    for (QWidget* control : {static_cast<QWidget*>(c.provider), static_cast<QWidget*>(c.clientId)})
        control->setEnabled(oauth);
    for (QLineEdit* box : {c.authorization, c.token, c.scope})
        box->setEnabled(oauth && other);
    const QString why = problem();
    c.signInNow->setEnabled(oauth && why.isEmpty());
    c.message->setText(why);
}

QString SignInDialog::problem() const
{
    const SignInControls& c = m_controls;
    const auto method = SignInMethod(c.method->currentIndex());
    const auto origin = SecretOrigin(c.origin->currentIndex());
    if (origin == SecretOrigin::Command)
        return parseCommandLine(c.command->text()).error;
    if (method != SignInMethod::OAuth2)
        return {};
    if (c.clientId->text().trimmed().isEmpty())
        return QStringLiteral("No Client Id Was Entered");
    if (!isWebAddress(c.authorization->text()) || !isWebAddress(c.token->text()))
        return QStringLiteral("The Authorization And Token URLs Must Be Web Addresses");
    return {};
}

OAuthClient SignInDialog::oauthClient() const
{
    const SignInControls& c = m_controls;
    const QString provider = c.provider->currentText();
    return {provider == otherProvider() ? QString() : provider, c.clientId->text().trimmed(),
            QUrl(c.authorization->text().trimmed()), QUrl(c.token->text().trimmed()),
            c.scope->text().simplified()};
}

void SignInDialog::showBrowserSignIn(const BrowserSignInState& state) const
{
    const bool waiting =
        state.stage != BrowserSignInStage::Idle && state.mailbox == m_options.mailbox;
    m_controls.browserNote->setText(waiting ? state.note() : QString());
    m_controls.address->setText(waiting ? state.address.toString(QUrl::FullyEncoded) : QString());
    m_controls.address->setCursorPosition(0);
    m_controls.address->setEnabled(waiting);
}

void SignInDialog::setSignIn(const AccountSignIn& signIn)
{
    SignInControls& c = m_controls;
    c.method->setCurrentIndex(int(signIn.method));
    c.origin->setCurrentIndex(int(signIn.secretOrigin));
    c.command->setText(joinCommandLine(signIn.secretCommand));
    c.password->clear();
    const int preset = signIn.oauth.provider.isEmpty()
                           ? -1
                           : c.provider->findText(signIn.oauth.provider, Qt::MatchExactly);
    c.provider->setCurrentIndex(preset >= 0 ? preset : c.provider->count() - 1);
    if (preset < 0) {
        c.authorization->setText(signIn.oauth.authorizationUrl.toString());
        c.token->setText(signIn.oauth.tokenUrl.toString());
        c.scope->setText(signIn.oauth.scope);
    }
    c.clientId->setText(signIn.oauth.clientId);
    updateEnabling();
}

AccountSignIn SignInDialog::signIn() const
{
    const SignInControls& c = m_controls;
    AccountSignIn result;
    result.method = SignInMethod(c.method->currentIndex());
    result.secretOrigin = SecretOrigin(c.origin->currentIndex());
    if (result.secretOrigin == SecretOrigin::Command)
        result.secretCommand = parseCommandLine(c.command->text()).arguments;
    else if (result.method == SignInMethod::OAuth2)
        result.oauth = oauthClient();
    return result;
}

QString SignInDialog::passwordToStore() const
{
    return m_controls.password->isEnabled() ? m_controls.password->text() : QString();
}

void SignInDialog::accept()
{
    const QString why = problem();
    if (!why.isEmpty()) {
        m_controls.message->setText(why);
        return;
    }
    QDialog::accept();
}
