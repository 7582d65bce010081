// sky and glow
textures/skies/night { surfaceparm sky
 skyparms env/night 512 -
 { map textures/skies/clouds.tga
   tcMod scroll 0.1 0.1 } }
"textures/sfx/glow" { { animMap 2 a.tga b.tga
 blendFunc add /* comment */ rgbGen wave sin 0 1 0 1 } }
broken { { map x {
