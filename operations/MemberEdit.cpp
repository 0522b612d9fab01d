// "Modificar": changing the data of a member.

#include "operations/CardOperations.h"

void CardOperations::Command3_Click()
{
}

void CardOperations::Command10_Click()
{
}

void CardOperations::Command11_Click()
{
}
