#pragma once

namespace skin {

class NodeRegistry;

// Registers the fifteen element types of the skin ("node", "text", ... "clip", "waveform") in their order; the
// application calls it once at start.
void register_element_types(NodeRegistry& registry);

} // namespace skin
