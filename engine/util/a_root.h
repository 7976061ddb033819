#pragma once

// Common base that marks engine objects (managers, loaders, sprites).
class aRoot {
};
