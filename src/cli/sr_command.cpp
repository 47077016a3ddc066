// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/sr_command.h"

#include "output/sigrok_session.h"

bool WriteSrOutput(const Capture& capture, const QString& path)
{
    return ExportSigrokSession(capture, path);
}
