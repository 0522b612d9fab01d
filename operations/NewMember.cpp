// "Alta": registering a new member.

#include "operations/CardOperations.h"

void CardOperations::Command5_Click()
{
}

void CardOperations::command2_Click()
{
}

void CardOperations::Command9_Click()
{
}
