#pragma once

#include <QDateTime>

// Today's date and time, injectable so that the school-year texts and the
// logged dates can be tested on any day.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime when) : m_when(std::move(when)) {}
    QDateTime now() const override { return m_when; }
    void set(const QDateTime &when) { m_when = when; }

private:
    QDateTime m_when;
};
