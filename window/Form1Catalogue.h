#pragma once

#include "window/Control.h"

#include <vector>

class Form1;

struct CatalogueEntry
{
    Control Form1::*member;
    ControlDesign design;
};

// The design of every control of Form1, in creation order.
const std::vector<CatalogueEntry>& formCatalogue();
