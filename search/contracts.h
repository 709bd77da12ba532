#pragma once
// What the search relies on from each component it uses. The window's real
// components and the tests' in-memory doubles both stand behind these.
#include <cstdint>
#include <string>

#include "framework/variant.h"

namespace app {

class IPracticeLocation {
public:
    virtual ~IPracticeLocation() = default;
    // The current user's practice folder, or "" when none is recorded.
    virtual std::string ReadCurrentPracticePath() = 0;
};

class IFolderDialog {
public:
    virtual ~IFolderDialog() = default;
    virtual void SetPath(const std::string& path) = 0;
    virtual std::string Path() const = 0;
    // True when the user confirmed; Path() then holds the chosen folder.
    virtual bool RunModal() = 0;
};

class IConnection {
public:
    virtual ~IConnection() = default;
    // False closes every dataset on the connection, then disconnects.
    virtual void SetIsConnected(bool connected) = 0;
    virtual void SetConnectPath(const std::string& path) = 0;
    virtual std::string ConnectPath() const = 0;
};

class IField {
public:
    virtual ~IField() = default;
    virtual std::string ValueAsText() const = 0;      // "" when null
    virtual std::int32_t ValueAsInteger() const = 0;  // 0 when null
    virtual double ValueAsDateTime() const = 0;       // 0 when null
    virtual fw::Variant ValueAsVariant() const = 0;   // Null when null
};

class IDataSet {
public:
    virtual ~IDataSet() = default;
    virtual void SetActive(bool active) = 0;
    virtual void MoveToFirst() = 0;
    virtual void MoveToNext() = 0;
    virtual bool AtEnd() const = 0;
    virtual std::int64_t CountRecords() = 0;
    // Raises EDatabaseError "<dataset>: Field '<name>' not found" when missing.
    virtual IField& FieldNamed(const std::string& name) = 0;
};

class IProgressBar {
public:
    virtual ~IProgressBar() = default;
    virtual double Position() const = 0;
    virtual void SetPosition(double position) = 0;
    virtual void SetMax(double max) = 0;
};

class IOutputPane {
public:
    virtual ~IOutputPane() = default;
    virtual void ClearText() = 0;
    // Raises EOutOfResources "RichEdit line insertion error" when full.
    virtual void AppendLine(const std::string& line) = 0;
};

class IMessagePump {
public:
    virtual ~IMessagePump() = default;
    virtual void ProcessPendingMessages() = 0;
};

class IButton {
public:
    virtual ~IButton() = default;
    virtual void SetEnabled(bool enabled) = 0;
};

}  // namespace app
