#include "app/irc/ircconnection.h"

#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>

#include <algorithm>
#include <limits>

#include "app/irc/botlog.h"
#include "engine/base/clock.h"

namespace vebix::irc {
namespace {

// A server line longer than this is not a line of the protocol; it is skipped, not kept.
constexpr std::size_t kLongestReadLine = 16 * 1024;

std::string seconds(std::uint64_t ms) { return std::to_string((ms + 999) / 1000) + " s"; }

// A line as the log may show it: the secrets of a login never appear.
std::string shownLine(const std::string& line) {
    for (std::string_view secret : {"PASS ", "AUTHENTICATE "})
        if (line.starts_with(secret) && line != "AUTHENTICATE PLAIN" && line != "AUTHENTICATE +")
            return std::string(secret) + "(not shown)";
    return line;
}

}  // namespace

IrcConnection::IrcConnection(ServerAddress server, Identity identity, BotLog& log, QObject* parent)
    : QObject(parent),
      server_(std::move(server)),
      log_(log),
      session_(std::move(identity), *this),
      queue_(timing_.pace),
      backoff_(timing_.backoff),
      socket_(new QSslSocket(this)) {
    wake_.setSingleShot(true);
    connect(&wake_, &QTimer::timeout, this, &IrcConnection::service);
    connect(socket_, &QSslSocket::connected, this, [this] {
        if (!server_.tls) onConnected();
    });
    connect(socket_, &QSslSocket::encrypted, this, &IrcConnection::onConnected);
    connect(socket_, &QSslSocket::readyRead, this, &IrcConnection::onReadyRead);
    connect(socket_, &QSslSocket::disconnected, this,
            [this] { drop("the server closed the connection"); });
    connect(socket_, &QSslSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError) { drop(socket_->errorString().toStdString()); });
    connect(socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            log_.line("certificate of " + server_.host +
                      " refused: " + e.errorString().toStdString());
    });
}

IrcConnection::~IrcConnection() {
    // No signal of the socket may reach a connection being destroyed.
    socket_->disconnect(this);
    socket_->abort();
}

void IrcConnection::start() {
    if (state_ != State::Idle) return;
    connectNow();
}

void IrcConnection::connectNow() {
    const std::uint64_t now = clock().tickMs();
    state_ = State::Connecting;
    connectAt_ = now;
    registeredAt_ = 0;
    pingSentAt_ = 0;
    readBuffer_.clear();
    skippingLongLine_ = false;
    queue_.clear();
    log_.line("connecting to " + server_.host + " port " + std::to_string(server_.port) +
              (server_.tls ? " with TLS" : ""));
    const QString host = QString::fromStdString(server_.host);
    if (server_.tls) {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        if (!server_.extraAuthorities.isEmpty()) config.addCaCertificates(server_.extraAuthorities);
        config.setPeerVerifyMode(server_.verifyCertificate ? QSslSocket::VerifyPeer
                                                           : QSslSocket::VerifyNone);
        socket_->setSslConfiguration(config);
        socket_->connectToHostEncrypted(host, server_.port);
    } else {
        socket_->connectToHost(host, server_.port);
    }
    service();
}

void IrcConnection::onConnected() {
    if (state_ != State::Connecting) return;
    state_ = State::Online;
    lastHeardAt_ = clock().tickMs();
    log_.line(std::string("connected") + (server_.tls ? ", the certificate checked" : ""));
    if (server_.tls && !server_.verifyCertificate)
        log_.line("the server's certificate was not checked (--insecure)");
    session_.start();
    service();
}

void IrcConnection::onReadyRead() {
    // Lines are handled while the socket still has bytes: what arrives while a line is being
    // handled is read here too, not left waiting for the next packet.
    while (state_ == State::Online && socket_->bytesAvailable() > 0) {
        readBuffer_ += socket_->readAll().toStdString();
        std::size_t start = 0;
        for (std::size_t end; (end = readBuffer_.find('\n', start)) != std::string::npos;
             start = end + 1) {
            std::string_view line(readBuffer_.data() + start, end - start);
            if (skippingLongLine_) {
                skippingLongLine_ = false;
                continue;
            }
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.empty()) continue;
            const std::uint64_t now = clock().tickMs();
            lastHeardAt_ = now;
            pingSentAt_ = 0;
            log_.detail("<<< " + std::string(line));
            session_.handle(line, now);
            // The line may have ended the connection (a refusal).
            if (state_ != State::Online) return;
        }
        readBuffer_.erase(0, start);
        if (readBuffer_.size() > kLongestReadLine) {
            log_.line("skipped a line of more than " + std::to_string(kLongestReadLine) +
                      " bytes from the server");
            readBuffer_.clear();
            skippingLongLine_ = true;
        }
    }
    service();
}

void IrcConnection::send(std::string line, SendQueue::Kind kind) {
    queue_.push(std::move(line), kind);
    if (state_ == State::Online) pump(clock().tickMs());
    service();
}

void IrcConnection::say(const std::string& target, std::string_view text) {
    if (state_ != State::Online) return;
    const std::size_t dropped = queue_.droppedChat();
    session_.say(target, text);
    if (queue_.droppedChat() != dropped)
        log_.line("too much to say: " + std::to_string(queue_.droppedChat() - dropped) +
                  " waiting line(s) dropped");
}

void IrcConnection::note(const std::string& text) { log_.line(text); }

void IrcConnection::registered() { registeredAt_ = clock().tickMs(); }

void IrcConnection::refused(const std::string& reason) {
    log_.line("giving up: " + reason);
    state_ = State::Finished;
    wake_.stop();
    socket_->abort();
    emit gaveUp(QString::fromStdString(reason));
}

void IrcConnection::write(const std::string& line) {
    log_.detail(">>> " + shownLine(line));
    const std::string bytes = line + "\r\n";
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void IrcConnection::pump(std::uint64_t nowMs) {
    while (state_ == State::Online) {
        const auto line = queue_.take(nowMs);
        if (!line) break;
        write(*line);
    }
}

void IrcConnection::quit(const std::string& message) {
    const std::uint64_t now = clock().tickMs();
    switch (state_) {
        case State::Online:
            // Past whatever waits: the bot is leaving now.
            queue_.clear();
            write(formatLine("QUIT", {}, message));
            socket_->flush();
            state_ = State::Quitting;
            quitDeadline_ = now + timing_.quitMs;
            socket_->disconnectFromHost();
            service();
            return;
        case State::Quitting:
        case State::Finished:
            return;
        case State::Idle:
        case State::Connecting:
        case State::Waiting:
            state_ = State::Quitting;
            socket_->abort();
            finish();
            return;
    }
}

void IrcConnection::finish() {
    if (state_ == State::Finished) return;
    state_ = State::Finished;
    wake_.stop();
    // Not from inside the caller's own call: whoever asked to quit sees finished() afterwards.
    QTimer::singleShot(0, this, &IrcConnection::finished);
}

void IrcConnection::drop(const std::string& reason) {
    if (state_ == State::Idle || state_ == State::Waiting || state_ == State::Finished) return;
    const State was = state_;
    // First, so that the signals abort() emits find the connection already dropped.
    state_ = State::Waiting;
    socket_->abort();
    queue_.clear();
    if (was == State::Quitting) {
        log_.line("disconnected");
        state_ = State::Quitting;
        finish();
        return;
    }
    const std::uint64_t now = clock().tickMs();
    if (registeredAt_ != 0 && now - registeredAt_ >= timing_.stableMs) backoff_.reset();
    registeredAt_ = 0;
    const std::uint64_t wait = backoff_.nextDelayMs();
    reconnectAt_ = now + wait;
    log_.line("connection lost (" + reason + "); connecting again in " + seconds(wait));
    service();
}

void IrcConnection::service() {
    const std::uint64_t now = clock().tickMs();
    std::uint64_t due = std::numeric_limits<std::uint64_t>::max();
    switch (state_) {
        case State::Idle:
        case State::Finished:
            wake_.stop();
            return;
        case State::Waiting:
            if (now >= reconnectAt_) {
                connectNow();
                return;
            }
            due = reconnectAt_;
            break;
        case State::Connecting:
            if (now >= connectAt_ + timing_.connectMs) {
                drop("no connection within " + seconds(timing_.connectMs));
                return;
            }
            due = connectAt_ + timing_.connectMs;
            break;
        case State::Online:
            if (!session_.isRegistered()) {
                if (now >= connectAt_ + timing_.connectMs) {
                    drop("not registered within " + seconds(timing_.connectMs));
                    return;
                }
                due = connectAt_ + timing_.connectMs;
            }
            if (pingSentAt_ != 0) {
                if (now >= pingSentAt_ + timing_.pingAnswerMs) {
                    drop("no answer from the server for " + seconds(now - lastHeardAt_));
                    return;
                }
                due = std::min(due, pingSentAt_ + timing_.pingAnswerMs);
            } else if (now >= lastHeardAt_ + timing_.quietMs) {
                pingSentAt_ = now;
                queue_.push(formatLine("PING", {}, "vebix"), SendQueue::Kind::Control);
                due = std::min(due, now + timing_.pingAnswerMs);
            } else {
                due = std::min(due, lastHeardAt_ + timing_.quietMs);
            }
            pump(now);
            if (const auto next = queue_.nextDueMs(now)) due = std::min(due, *next);
            break;
        case State::Quitting:
            if (now >= quitDeadline_) {
                socket_->abort();
                finish();
                return;
            }
            due = quitDeadline_;
            break;
    }
    const std::uint64_t waitMs = due > now ? due - now : 0;
    wake_.start(static_cast<int>(std::min<std::uint64_t>(waitMs, 24u * 3600u * 1000u)));
}

}  // namespace vebix::irc
