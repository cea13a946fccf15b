#pragma once

namespace skin {

class NodeRegistry;

// Registers the fourteen element types of the skin ("node", "text", ... "clip") in their order; the
// application calls it once at start.
void register_element_types(NodeRegistry& registry);

} // namespace skin
