#pragma once

#include <QString>

#include <utility>
#include <variant>

// Why a document could not be read or saved. The codes are Cocoa's file error numbers, kept on
// every system so that a report names the same failure wherever the editor runs.
struct DocumentError
{
    enum Code : int {
        fileReadUnknown = 256,
        fileReadNoPermission = 257,
        fileReadCorruptFile = 259,
        fileReadTooLarge = 263,
        fileReadUnknownStringEncoding = 264,
        fileWriteUnknown = 512,
        fileWriteNoPermission = 513,
        fileWriteInapplicableStringEncoding = 517,
        fileWriteOutOfSpace = 640,
        fileWriteVolumeReadOnly = 642,
    };

    explicit DocumentError(Code errorCode, QString systemReason = {});

    // What an alert shows; never empty, even for codes whose description is.
    QString displayMessage() const;

    int code;
    QString description;
    // The operating system's own words (strerror), for the alert's details.
    QString detail;
};

// Either the value an operation produced or the error that stopped it.
template<typename Value> class DocumentResult
{
public:
    // Implicit, so that a function returns either a value or an error as it is.
    DocumentResult(Value value)
        : m_state(std::in_place_index<0>, std::move(value))
    { }
    DocumentResult(DocumentError error)
        : m_state(std::in_place_index<1>, std::move(error))
    { }

    bool hasValue() const { return m_state.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    const Value &value() const &
    {
        Q_ASSERT(hasValue());
        return *std::get_if<0>(&m_state);
    }
    Value &&value() &&
    {
        Q_ASSERT(hasValue());
        return std::move(*std::get_if<0>(&m_state));
    }
    const Value &operator*() const & { return value(); }
    const Value *operator->() const { return &value(); }

    const DocumentError &error() const
    {
        Q_ASSERT(!hasValue());
        return *std::get_if<1>(&m_state);
    }

private:
    std::variant<Value, DocumentError> m_state;
};
