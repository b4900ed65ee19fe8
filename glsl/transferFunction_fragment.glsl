#version 120
// The editor's colour bar: the colour table along the bar. The bar is exactly
// as many pixels wide as the table has texels, so each pixel centre lands on
// a texel centre and shows that texel unblended.

uniform sampler1D colourTable;

void main()
{
    gl_FragColor = vec4(texture1D(colourTable, gl_TexCoord[0].s).rgb, 1.0);
}
