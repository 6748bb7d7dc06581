#include "ui/win32/phrase_window_host.h"

#include "common/win32/window_messages.h"

// The host the shell handed down; set once at start-up, before any window
// of this layer exists.
static PhraseWindowHost* s_host;

void SetPhraseWindowHost(PhraseWindowHost* host)
{
    s_host = host;
}

const PhraseWindowHost& Host()
{
    return *s_host;
}

INT_PTR ShowModalDialog(const char* name, HWND owner, DLGPROC proc, LPARAM param)
{
    s_host->session->autoHideArmed = 0;
    return DialogBoxParamA(s_host->instance, name, owner, proc, param);
}

int ShowMessageBox(HWND owner, const char* text, UINT type)
{
    s_host->session->autoHideArmed = 0;
    return MessageBoxA(owner, text, PRODUCT_NAME, type);
}
