#pragma once
// The scale factor of a card turning about one axis: full at angle 0, zero
// edge-on at pi/2, full again (the back) at pi, edge-on at 3pi/2.

// Multiplies *scale by the turn's factor for the angle (radians, any
// value: taken into [0, 2pi)) and says whether the back side shows. A
// non-finite angle leaves the factor and shows the front; a null scale only
// answers the side.
bool CalcFlipScale(float* scale, float angle);
