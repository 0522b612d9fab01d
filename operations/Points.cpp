// "Añadir Puntos": adding points to a member's balance, or resetting it.

#include "operations/CardOperations.h"

void CardOperations::Command6_Click()
{
}

void CardOperations::Command4_Click()
{
}

void CardOperations::Command8_Click()
{
}

void CardOperations::Command7_Click()
{
}
