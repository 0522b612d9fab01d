#pragma once

#include "operations/MessageSink.h"

class QWidget;

// Messages as modal Qt message boxes over the main window.
class MessageBoxSink : public MessageSink
{
public:
    explicit MessageBoxSink(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    void storeFailure(const StoreError& error) override;
    void notice(const QString& text) override;

private:
    QWidget* m_parent;
};
