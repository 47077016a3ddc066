// SPDX-License-Identifier: GPL-3.0-or-later
// A running frame for the viewer's tests: the platform's dialogs, message boxes and
// clipboard answered by the test, and captures written with the .sav builder.
#pragma once

#include "app/app_state.h"
#include "app/capture_window.h"
#include "app/main_frame.h"
#include "platform/platform.h"
#include "support/sav_builder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

// Two channels (or one) of n samples: a sine on CH1 and a square-ish wave on CH2, an edge
// trigger, 1 ms per division.
inline SavFile TestSavFile(int32_t n, int32_t channelCount = 2)
{
    SavFile file{};
    file.triggerMode = 0;
    file.triggerSource = 0;
    file.triggerType = 0;
    file.triggerCoupling = 0;
    file.edgeSlope = 0;
    file.triggerLevelMicroVolts = 1'200'000;
    for (int32_t ch = 0; ch < channelCount; ++ch) {
        SavChannel channel{};
        channel.coupling = static_cast<uint8_t>(ch);
        channel.probeCode = ch == 0 ? 1 : 0;
        channel.inverted = static_cast<uint8_t>(ch);
        channel.scaleMicroVolts = ch == 0 ? 100'000 : 500'000;
        channel.sampleIntervalPs = 12'000'000'000LL / n;
        channel.triggerPosition = static_cast<uint16_t>(n / 2);
        channel.raw.resize(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) {
            const double phase = 6.283185307179586 * 3 * i / n;
            const double wave = ch == 0 ? std::sin(phase) : (std::sin(phase * 2) > 0 ? 0.6 : -0.6);
            channel.raw[static_cast<size_t>(i)] = static_cast<uint16_t>(128 + 60 * wave);
        }
        file.channels.push_back(channel);
    }
    return file;
}

class AppTest : public testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        Platform().errorBox = [this](QWidget*, const QString& title, const QString& text) {
            messages.append(title + QStringLiteral(": ") + text);
        };
        Platform().openDialog = [this](QWidget*, const FileDialogRequest& request) {
            openRequests.append(request);
            return openAnswer;
        };
        Platform().saveDialog = [this](QWidget*, const FileDialogRequest& request) {
            saveRequests.append(request);
            return saveAnswer;
        };
        Platform().clipboardImage = [this](const QImage& image) {
            clipboard = image;
            ++clipboardCalls;
        };
        // Ending the loop would also end every later test's dialogs at once.
        Platform().quitEventLoop = [this] { ++quitCalls; };
    }

    void TearDown() override
    {
        delete frame;
        frame = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ResetPlatformHooks();
    }

    QString WriteCapture(const QString& name, int32_t n = 1000, int32_t channelCount = 2)
    {
        return WriteBytes(name, BuildSav(TestSavFile(n, channelCount)));
    }

    QString WriteBytes(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    void Start(const QStringList& paths = {}) { frame = StartMainFrame(paths); }

    CaptureWindow& Window(qsizetype index = 0) { return *CaptureWindows(App().mdiArea).at(index); }

    QTemporaryDir folder;
    MainFrame* frame = nullptr;
    QStringList messages;
    QStringList openAnswer;
    QString saveAnswer;
    QList<FileDialogRequest> openRequests;
    QList<FileDialogRequest> saveRequests;
    QImage clipboard;
    int32_t clipboardCalls = 0;
    int32_t quitCalls = 0;
};

// A press and release of `button` at column x of `target`, as the window system sends them.
inline void Click(QWidget* target, int x, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, 10), target->mapToGlobal(QPointF(x, 10)),
                      button, button, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(x, 10),
                        target->mapToGlobal(QPointF(x, 10)), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
