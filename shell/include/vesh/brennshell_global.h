#pragma once

#include <QtCore/qglobal.h>

#if defined(BRENN_SHELL_BUILD)
#  define BRENN_SHELL_EXPORT Q_DECL_EXPORT
#else
#  define BRENN_SHELL_EXPORT Q_DECL_IMPORT
#endif
