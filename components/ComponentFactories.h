#pragma once

namespace glimora::components {

// Puts the data control, the data grid and the web browser where the templates place them,
// for every dialog built afterwards. The program calls install() once at start-up.
class ComponentFactories
{
public:
    static void install();
};

} // namespace glimora::components
