// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding off the event-loop thread. Each Start decodes a private copy of the capture on
// a worker thread; a newer Start (the cursors moved, a threshold changed) cancels the one
// before it, and only the newest decode's result is ever delivered. The runner may be
// destroyed at any time: a worker still running is told to stop and delivers nowhere.
#pragma once

#include "decode/decode.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

struct DecodeMailbox;
struct DecodeJob;

// A copy of everything a decode reads, with its own sample block; an empty capture
// (samplesPerChannel 0) when memory runs out.
Capture SnapshotCapture(const Capture& capture);

class DecodeRunner : public QObject {
    Q_OBJECT

  public:
    explicit DecodeRunner(QObject* parent = nullptr);
    ~DecodeRunner() override;

    // Decodes a snapshot of `capture` with `request`. A decode still running is cancelled
    // and its result dropped. Returns the decode's number, which Finished repeats.
    int32_t Start(const Capture& capture, const DecodeRequest& request);
    // Cancels the running decode; nothing is delivered for it.
    void Cancel();
    bool Running() const { return running; }
    int32_t Generation() const { return generation; }

    // Cancels every worker of every runner and waits for them to end: before
    // ShutDownDecoding at the end of the process.
    static void FinishAllWorkers();

  Q_SIGNALS:
    // The share done, 0..1, of the newest decode; at most about a hundred times per decode.
    void Progress(double done);
    // The newest decode ended (ok, failed or bad request; never for a cancelled one).
    void Finished(int32_t generation, const DecodeResult& result);

  private:
    // A decode asked for and not yet handed to a worker.
    struct Pending {
        Capture capture;
        DecodeRequest request;
        int32_t number;
    };

    void Launch();
    void WorkerEnded(const DecodeJob* job, int32_t number, const DecodeResult& result);

    std::shared_ptr<DecodeMailbox> mailbox;
    std::optional<Pending> pending;
    std::shared_ptr<DecodeJob> currentJob; // the running worker's, until it has ended
    int32_t generation = 0;
    bool running = false;
};
