#version 120
// The Mandelbrot set with smooth escape-time colouring.
//
// Each fragment iterates z <- z^2 + c from z = 0, where c = s + i t is its
// texture coordinate. Escaping points are coloured by a continuous escape
// count mu, mapped logarithmically onto the colour table; points that never
// escape take the table's last texel, so the editor controls every colour.
//
// The iteration limit follows the pixel footprint: 256 at the default view,
// 128 more for every halving of the footprint below 0.005, up to 4096.
// The main cardioid and the period-2 bulb are recognised without iterating.

uniform sampler1D colourTable;

const float bailout = 256.0;
const int hardLimit = 4096;

float iterationLimit(vec2 c)
{
    vec2 footprint = fwidth(c);
    float f = max(max(footprint.x, footprint.y), 1e-30);
    return min(256.0 + 128.0 * max(0.0, log2(0.005 / f)), float(hardLimit));
}

bool inCardioidOrBulb(vec2 c)
{
    float xq = c.x - 0.25;
    float q = xq * xq + c.y * c.y;
    if (q * (q + xq) <= 0.25 * c.y * c.y) return true;
    float xb = c.x + 1.0;
    return xb * xb + c.y * c.y <= 0.0625;
}

vec4 tableColour(float s)
{
    // Texel centres: s = 0 is the first texel, s = 1 the last.
    return vec4(texture1D(colourTable, (0.5 + s * 511.0) / 512.0).rgb, 1.0);
}

void main()
{
    vec2 c = gl_TexCoord[0].st;
    float limit = floor(iterationLimit(c));
    if (inCardioidOrBulb(c)) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    vec2 z = vec2(0.0);
    float n = 0.0;
    bool escaped = false;
    for (int i = 0; i < hardLimit; ++i) {
        if (n >= limit) break;
        z = vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + c;
        n += 1.0;
        if (dot(z, z) > bailout) {
            escaped = true;
            break;
        }
    }
    if (!escaped) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    float mu = max(n - log2(log2(dot(z, z)) / log2(bailout)), 0.0);
    gl_FragColor = tableColour(clamp(log(mu + 1.0) / log(limit + 1.0), 0.0, 1.0));
}
