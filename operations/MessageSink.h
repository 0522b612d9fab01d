#pragma once

#include "store/StoreError.h"

#include <QString>

// Modal messages to the operator.
class MessageSink
{
public:
    virtual ~MessageSink() = default;

    // A failure of the member file, worded for the operator.
    virtual void storeFailure(const StoreError& error) = 0;

    // Any other message that the operator must acknowledge.
    virtual void notice(const QString& text) = 0;
};
