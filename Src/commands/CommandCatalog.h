#pragma once

#include "CommandSet.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// The satellite receiver's command sets, one per receiver type, in the order
// "Shark", "Navis", "Navitel". m_index is how the rest of the program reaches
// them: read it in order; element i names and points to m_sets[i].
class CCommandCatalog
{
public:
    CCommandCatalog();
    ~CCommandCatalog();

    CCommandCatalog(const CCommandCatalog&) = delete;
    CCommandCatalog& operator=(const CCommandCatalog&) = delete;

    std::vector<std::pair<std::string, CCommandSet*>> m_index;
    std::vector<std::unique_ptr<CCommandSet>> m_sets;
};
