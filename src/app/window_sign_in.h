#pragma once

class Prompter;
class QWidget;
class SignInEditor;
class SignInKeeper;

// "Sign In Now" in the sign-in dialog: the provider's page opens in the
// user's browser, and the tokens it hands back are kept for the account.
// The window stays usable meanwhile; the outcome comes as a message box.
void connectOAuthSignIn(SignInEditor& editor, SignInKeeper& keeper, Prompter& prompter,
                        QWidget* parent);
