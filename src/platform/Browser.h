#pragma once

#include <QUrl>

namespace notchora::Browser {

// Opens `url` in the user's browser: the commands in $BROWSER when it is set (the usual
// colon-separated list; "%s" stands for the URL, else the URL is the last argument), else
// the desktop's default handler. Returns false when nothing could be started.
bool open(const QUrl& url);

} // namespace notchora::Browser
