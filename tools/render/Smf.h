// libsmf's header, for C++. It includes glib.h inside its extern "C" block, where glib's
// C++ parts (templates) are refused; glib.h included first is already done by then.
#pragma once

#include <glib.h>
#include <smf.h>
