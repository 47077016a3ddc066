// SPDX-License-Identifier: GPL-3.0-or-later
// The list of decoders comes from a worker thread: the dialog waits for it without
// blocking, takes a request and an accept meanwhile, and a dialog closed before the list
// comes is left out of the delivery.
#include "app/decode_dialog.h"
#include "support/test_capture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <gtest/gtest.h>

TEST(DecoderListTest, TheDialogWaitsForTheListWithoutBlocking)
{
    const Capture capture = MakeTestCapture(2000, {{SlotCh1, 1.0}, {SlotCh2, 1.0}});
    QString error;
    const std::vector<DecoderInfo>* decoders = InstalledDecoders(error);
    ASSERT_TRUE(decoders) << error.toStdString();
    auto* closedEarly = new DecodeDialog(capture, *decoders, 0, 1999, nullptr);
    DecodeDialog dialog(capture, *decoders, 0, 1999, nullptr);
    if (!dialog.Waiting()) {
        // Alone in its process (as ctest runs it), the first listing must not have blocked.
        ASSERT_NE(testing::UnitTest::GetInstance()->test_to_run_count(), 1);
        GTEST_SKIP() << "an earlier test of this process listed them";
    }
    ASSERT_EQ(dialog.decoderList->count(), 1);
    EXPECT_EQ(dialog.decoderList->item(0)->text(), QStringLiteral("…"));
    EXPECT_FALSE(dialog.decoderList->isEnabled());

    DecodeRequest request{};
    request.last = 1999;
    request.stacks = {{DecoderSetup{QStringLiteral("uart"),
                                    {{QStringLiteral("rx"), SlotCh2}},
                                    {{QStringLiteral("baudrate"), QStringLiteral("9600")}}}}};
    dialog.SetRequest(request);
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    delete closedEarly;

    QElapsedTimer clock;
    clock.start();
    while (dialog.Waiting() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_FALSE(dialog.Waiting());
    EXPECT_TRUE(dialog.decoderList->isEnabled());
    EXPECT_GT(dialog.decoderList->count(), 20);
    const DecodeRequest taken = dialog.Request();
    ASSERT_EQ(taken.stacks.size(), 1u);
    ASSERT_EQ(taken.stacks[0].size(), 1u);
    EXPECT_EQ(taken.stacks[0][0].id, QStringLiteral("uart"));
    EXPECT_EQ(taken.stacks[0][0].channels,
              (std::vector<std::pair<QString, int32_t>>{{QStringLiteral("rx"), SlotCh2}}));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Listed once, the next dialog has the list at once.
    DecodeDialog again(capture, *InstalledDecoders(error), 0, 1999, nullptr);
    EXPECT_FALSE(again.Waiting());
    EXPECT_EQ(again.decoderList->count(), dialog.decoderList->count());
}
