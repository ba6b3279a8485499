#pragma once

#include <memory>

class BrowserSignIn;
class Prompter;
class SignInEditor;
class SignInKeeper;

// "Sign In Now" in the sign-in dialog: the provider's page opens in the
// desktop's browser, the dialog shows the address while the sign-in
// waits, and the tokens it hands back are kept for the account. The
// window stays usable meanwhile; the outcome comes as a message box.
std::unique_ptr<BrowserSignIn> makeWindowSignIn(SignInEditor& editor, SignInKeeper& keeper,
                                                Prompter& prompter);
