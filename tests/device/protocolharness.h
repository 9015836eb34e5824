#pragma once
// A download driven by hand: a fake dialog (ports, timers, texts, messages, result) on a clock
// that the test advances, with an optional instrument behind a port whose answers arrive at a
// given line rate and are delivered in 50 ms polling ticks, as the port component does.
#include "base/errors.h"
#include "device/downloadprotocol.h"
#include "simulator/instrumentsimulator.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

class ProtocolHarness : public DownloadHost
{
public:
    struct Message
    {
        QString text;
        QString caption;
        MessageIcon icon;
    };
    struct Sent
    {
        QString port;
        char command;
    };

    MemoryImage image;
    DeviceInfo device;
    DownloadProtocol protocol{*this, image, device};

    qint64 now = 0;
    QString portName;
    bool portOpen = false;
    QStringList existingPorts{DownloadProtocol::com1(), DownloadProtocol::com2()};
    QList<Sent> sent;
    QMap<DownloadText, QString> texts;
    QList<int> progress;
    QList<Message> messages;
    QList<int> results;
    QStringList errors;                  // format errors reported, as the guard shows them
    std::function<void()> duringMessage; // runs while a message is "shown"
    QStringList informatives;            // the informative text of each detailed message
    QString report;                      // what searchReport() answers
    int progressCount = 0;               // progressMade() calls

    // The instrument: on which port, how it answers and how fast its characters arrive.
    QString instrumentPort;
    std::optional<InstrumentSimulator> instrument;
    int charsPerSecond = 0; // 0: the whole answer is there at the next tick
    int chunkLimit = 4096;  // the component's chunk buffer

    void attach(const QString &port, InstrumentOptions options, int cps = 0)
    {
        instrumentPort = port;
        instrument.emplace(std::move(options));
        charsPerSecond = cps;
    }

    QByteArray commands() const
    {
        QByteArray out;
        for (const Sent &s : sent)
            out += s.command;
        return out;
    }

    // One batch through the guard, as the runner delivers it.
    void deliver(const QByteArray &batch)
    {
        try {
            protocol.receive(reinterpret_cast<const quint8 *>(batch.constData()), quint32(batch.size()));
        } catch (const QpxError &e) {
            errors << e.text();
        }
        if (protocol.failedByError())
            protocol.endAfterFormatError();
    }
    // The same bytes in batches of the given sizes (the rest in a last batch).
    void deliverSplit(const QByteArray &bytes, const QList<int> &cuts)
    {
        int at = 0;
        for (int cut : cuts) {
            if (cut > at && cut < bytes.size()) {
                deliver(bytes.mid(at, cut - at));
                at = cut;
            }
        }
        if (at < bytes.size())
            deliver(bytes.mid(at));
    }

    // Advances the clock, firing timers and polling ticks in time order.
    void advance(qint64 ms)
    {
        const qint64 target = now + ms;
        for (;;) {
            qint64 next = target + 1;
            int which = 0;
            auto consider = [&](const Timer &t, int id) {
                if (t.running && t.due < next) {
                    next = t.due;
                    which = id;
                }
            };
            consider(m_searchTimer, 1);
            consider(m_memoryDelayTimer, 2);
            if (portOpen && m_nextTick < next) {
                next = m_nextTick;
                which = 3;
            }
            if (next > target)
                break;
            now = next;
            if (which == 1) {
                m_searchTimer.due += m_searchTimer.interval;
                protocol.searchTimedOut();
            } else if (which == 2) {
                m_memoryDelayTimer.due += m_memoryDelayTimer.interval;
                protocol.requestMemory();
            } else {
                m_nextTick += 50;
                tick();
            }
        }
        now = target;
    }

    // Runs until a result is set or the time is up.
    void runUntilResult(qint64 limitMs)
    {
        for (qint64 t = 0; t < limitMs && results.isEmpty(); t += 10)
            advance(10);
    }

    bool timerRunning(DownloadTimer t) const
    {
        return (t == DownloadTimer::Search ? m_searchTimer : m_memoryDelayTimer).running;
    }

    // DownloadHost
    void setPortName(const QString &name) override { portName = name; }
    bool openPort() override
    {
        if (portOpen)
            return true;
        portOpen = existingPorts.contains(portName);
        if (portOpen) {
            m_line.clear(); // stale input is discarded at open
            m_nextTick = now + 50;
        }
        return portOpen;
    }
    void closePort() override { portOpen = false; }
    bool writeByte(quint8 value) override
    {
        if (!portOpen)
            return false;
        sent.append({portName, char(value)});
        if (instrument && portName == instrumentPort) {
            const QByteArray answer = instrument->answer(value);
            qint64 at = std::max(now, m_line.empty() ? now : m_line.back().first);
            for (int i = 0; i < answer.size(); ++i)
                m_line.emplace_back(charsPerSecond > 0 ? at + (i + 1) * 1000 / charsPerSecond : at,
                                    answer[i]);
        }
        return true;
    }
    void timerChanged(DownloadTimer timer, bool enabled, int interval) override
    {
        Timer &t = timer == DownloadTimer::Search ? m_searchTimer : m_memoryDelayTimer;
        t.running = enabled && interval > 0;
        t.interval = interval;
        t.due = now + interval;
    }
    void setText(DownloadText field, const QString &text) override { texts[field] = text; }
    void setProgress(int position) override { progress << position; }
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override
    {
        messages.append({text, caption, icon});
        if (duringMessage)
            duringMessage();
    }
    void showDetailedMessage(const QString &text, const QString &informative, const QString &caption,
                             MessageIcon icon) override
    {
        informatives << informative;
        showMessage(text, caption, icon);
    }
    QString searchReport() override { return report; }
    void progressMade() override { ++progressCount; }
    void finish(int result) override { results << result; }

private:
    struct Timer
    {
        bool running = false;
        int interval = 0;
        qint64 due = 0;
    };

    void tick()
    {
        QByteArray batch;
        while (!m_line.empty() && m_line.front().first <= now && batch.size() < chunkLimit) {
            batch += m_line.front().second;
            m_line.pop_front();
        }
        if (!batch.isEmpty())
            deliver(batch);
    }

    Timer m_searchTimer;
    Timer m_memoryDelayTimer;
    qint64 m_nextTick = 0;
    std::deque<std::pair<qint64, char>> m_line;
};
