#version 120
// The Julia set of the constant cr + i ci with smooth escape-time colouring.
//
// Each fragment iterates z <- z^2 + (cr + i ci) from its own starting point
// z = s + i t. The colouring is the Mandelbrot program's: a continuous escape
// count mapped logarithmically onto the colour table, the table's last texel
// for points that never escape, and an iteration limit that grows with the
// zoom (256 at the default view, up to 4096).

uniform sampler1D colourTable;
uniform float cr;
uniform float ci;

const float bailout = 256.0;
const int hardLimit = 4096;

float iterationLimit(vec2 z)
{
    vec2 footprint = fwidth(z);
    float f = max(max(footprint.x, footprint.y), 1e-30);
    return min(256.0 + 128.0 * max(0.0, log2(0.005 / f)), float(hardLimit));
}

vec4 tableColour(float s)
{
    return vec4(texture1D(colourTable, (0.5 + s * 511.0) / 512.0).rgb, 1.0);
}

void main()
{
    vec2 z = gl_TexCoord[0].st;
    vec2 c = vec2(cr, ci);
    float limit = floor(iterationLimit(z));
    float n = 0.0;
    bool escaped = dot(z, z) > bailout;
    for (int i = 0; i < hardLimit; ++i) {
        if (escaped || n >= limit) break;
        z = vec2(z.x * z.x - z.y * z.y, 2.0 * z.x * z.y) + c;
        n += 1.0;
        escaped = dot(z, z) > bailout;
    }
    if (!escaped) {
        gl_FragColor = tableColour(1.0);
        return;
    }
    float mu = max(n - log2(log2(dot(z, z)) / log2(bailout)), 0.0);
    gl_FragColor = tableColour(clamp(log(mu + 1.0) / log(limit + 1.0), 0.0, 1.0));
}
